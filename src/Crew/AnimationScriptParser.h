#pragma once
// Reader of the crew animation script ("Animation.txt"): blocks of object
// tags in brackets followed by labels and the commands "animation", "wait",
// "goto" and "chance_select". Each command is appended to the scripts of the
// objects the block names; labels and command numbers are local to a block.
#include <map>
#include <string>

class ObjectAnimationScript;

namespace ObjectsAnimationScriptParser
{
typedef std::map<std::string, ObjectAnimationScript*> ObjectMap;

// Parses [begin, end). Objects the map does not hold are skipped. On a
// syntax error after a complete block the position is logged with `fileName`;
// what was read before the error stays in the scripts. True when the whole
// text was read.
bool Parse(const std::string& fileName, const char* begin, const char* end, const ObjectMap& objects);
} // namespace ObjectsAnimationScriptParser

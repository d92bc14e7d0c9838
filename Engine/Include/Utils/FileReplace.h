#pragma once
// Writing a file that the program reads back, so that a failure at any point
// (a full disk, a crash while writing) leaves the previous file whole: the
// new contents go to "<name>.tmp", which then replaces the file.
#include <cstdio>
#include <functional>
#include <string>

// `write` puts the contents into the open temporary file and returns false
// on failure. False, logged with the file's name, when any step fails; the
// temporary file is then removed and the previous file kept.
bool WriteFileReplacing(const std::string& name, const std::function<bool(FILE*)>& write);

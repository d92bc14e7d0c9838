#pragma once
// The built-in Languages.xml: the program's RCDATA resource of that id as
// text; false where there is none (and natively, where there are no
// resources).
#include <string>

bool LoadLanguageResource(int resourceId, std::string& text);

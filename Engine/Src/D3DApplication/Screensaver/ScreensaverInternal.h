#pragma once
// Shared between the screensaver application's units only.
#include <string>

#include "LanguageTable.h"

class CScreensaverApp;

namespace ScreensaverInternal
{
// The program's translated texts, made on first use from the built-in
// Languages.xml.
LanguageTable& Languages();
// Makes the application the sound loader's progress handler.
void SetSoundHandler(CScreensaverApp* app);
// Forgets the application as the sound loader's progress handler.
void ClearSoundHandler(CScreensaverApp* app);
// Starts a program shown normally, without waiting for it; false when it
// could not be started.
bool StartProgram(std::string commandLine);
} // namespace ScreensaverInternal

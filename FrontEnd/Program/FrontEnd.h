#pragma once
// The front-end's modes and the services they share.
#include <windows.h>

#include <string>

class LanguageTable;

// The front-end's language table, built from its own Languages.xml
// resource on first use; no language or text block chosen until the
// settings dialog chooses them.
LanguageTable& GetLanguageTable();
// The language of the "Language" setting: "de", "fr", "ru" or "en".
std::string ReadLanguageTag();

// Run mode: find the main program, start it and wait until it ends.
std::string FindMainProgram();
void RunMainProgram();

// "/a": the system's password change for screensavers, when it has one.
void ChangeScreensaverPassword();

// The error box of the front-end, texts translated.
void ShowError(HWND owner, const char* text);

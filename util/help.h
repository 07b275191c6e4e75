// Help on using the system: one page the library carries, written out to the
// help file path and shown by the user's default browser, since current
// Windows no longer has a Help viewer for the old help files.
#pragma once

#include <windows.h>

#include <string>

// The page's path for this user: "Marrowbox Help.htm" in the temporary folder.
std::string DefaultHelpFilePath();
// Where the help goes; the application object sets it at start-up.
void SetHelpFilePath(const std::string& path);
std::string HelpFilePath();

// Writes the page afresh (so it always matches this library) and opens it.
// Throws CZipWinException when it can be neither written nor opened.
void ShowHelpTopics(HWND owner);

// Starting the game, a freshly downloaded launcher, and the installed
// launcher again after it was replaced.
#pragma once

#include <string>

// The game's argument text for a page's data call: "MODE2" and the text in
// quoted pieces of 999 characters, double quotes escaped with a backslash.
std::wstring BuildGameDataArgs(const std::wstring& text);

// "qm.exe" from the current directory with the game arguments and the
// quoted launcher path.
void StartGame(const std::wstring& gameArgs);

// "Launcher.exe" from the current directory, told where the installed
// launcher is.
void StartNewLauncher();

// The copy-and-restart role: copies the start folder over the installed
// launcher's folder and starts the installed launcher with "N:". It acts only
// when the launcher path names an existing "Launcher.exe" in another folder
// and the start folder holds a "Launcher.exe" to copy. Empty when done,
// otherwise why nothing was copied or the copy failed.
std::wstring CopyAndRestart();

// How long the copy is retried while the old launcher still holds its files,
// and the pause between attempts. Tests shorten them.
struct CopyRetryPolicy {
    unsigned totalMs = 90000;
    unsigned pauseMs = 500;
};
void SetCopyRetryPolicy(const CopyRetryPolicy& policy);

// The process-wide settings and paths, filled before the application object
// runs and read by every part of the launcher.
#pragma once

#include <string>

// Deployment values used when the settings file names none.
extern const wchar_t kDefaultWebUrl[];
extern const wchar_t kDefaultVersionUrl[];

// Mirrors holds several addresses: it is read into a buffer of its own size.
constexpr unsigned long kMirrorsBuffer = 2048;

struct LauncherSettings {
    int startedPlain = 1;
    int startedAfterUpdate = 0;
    std::wstring clientListName = L"qm.md5";
    std::wstring dataFolderName = L"Quillmoor";
    std::wstring launcherListName = L"launcher.md5";
    std::wstring startDirectory;
    std::wstring dataFolder;
    std::wstring launcherPath;
    std::wstring platform;
    std::wstring webUrl;
    std::wstring versionUrl;
    std::wstring language;
    // Further base addresses of the CDN, as the settings file writes them.
    std::wstring mirrors;

    // Reads the current directory, the data folder and the command line,
    // in this order, as the process does before anything else runs.
    void InitialiseFromProcess();
    // The command-line step: argument 1 absent, "N:" or an installed path.
    void ApplyCommandLine(const std::wstring& commandLine);
    // A launcher path relative to the start directory made absolute: it is
    // handed to processes that run in other folders.
    void AnchorLauncherPath();
    // "./Platform.ini" and "./" + platform + ".ini", resolved against the
    // current directory.
    void ReadConfiguration();
    // The settings file as a path relative to the current directory.
    std::wstring SettingsFileName() const;
};

enum class StartRole {
    MainWindow,             // plain start: self-check, then the client
    MainWindowAfterUpdate,  // "N:": a new launcher was just installed
    CopyAndRestart,         // argument 1 names the installed launcher
};

StartRole DecideStartRole(const LauncherSettings& settings);

extern LauncherSettings g_settings;

// md5 lists: which files the launcher or the client consists of, with their
// sizes and digests, and the comparison that decides what to download.
#pragma once

#include "update/update_context.h"

#include <istream>
#include <string>

// Downloads and parses the md5 list cdn_path + listName into remoteFiles.
bool FetchFileList(CUpdateContext& context, const std::wstring& listName);

// Reads records of a path line, a size and an Md5Text into remoteFiles.
// False, with the reason in the diagnostic log, when the list does not read
// whole or an entry names no file below its folder: installing part of a
// list would start a client that does not match it.
bool ParseFileList(std::wistream& stream, CUpdateContext& context);

// Compares remoteFiles with the files below the current directory, each
// entry's path without its first stripLength characters; fills pendingFiles
// and the overall progress. Without a local folder every entry is pending.
void CompareFileList(CUpdateContext& context, std::size_t stripLength, bool localFolderExists = true);

// The launcher's files against its own folder; pulls in Launcher.exe
// whenever anything else changed.
void PrepareLauncherList(CUpdateContext& context);

// Fetches the client list and compares it with the client directory.
bool CheckClientFiles(CUpdateContext& context);

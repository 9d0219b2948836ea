// shell32 and shlwapi: special folders, folder creation, copying, path helpers.
#pragma once

#include "platform/win_types.h"

#ifdef _WIN32
#include <shlobj.h>
#include <shlwapi.h>
#else
#define CSIDL_LOCAL_APPDATA 0x001c
#define CSIDL_FLAG_CREATE 0x8000
#define SHGFP_TYPE_CURRENT 0

// CSIDL_LOCAL_APPDATA is $XDG_DATA_HOME, or ~/.local/share when unset.
HRESULT SHGetFolderPathW(HWND hwnd, int csidl, HANDLE hToken, DWORD dwFlags, LPWSTR pszPath);
// Creates a folder and its missing parents. ERROR_ALREADY_EXISTS when it was there.
int SHCreateDirectoryExW(HWND hwnd, LPCWSTR pszPath, const void* psa);

#define FO_MOVE 0x0001
#define FO_COPY 0x0002
#define FO_DELETE 0x0003
#define FO_RENAME 0x0004
#define FOF_SILENT 0x0004
#define FOF_NOCONFIRMATION 0x0010
#define FOF_NOCONFIRMMKDIR 0x0200
using FILEOP_FLAGS = WORD;

struct SHFILEOPSTRUCTW {
    HWND hwnd;
    UINT wFunc;
    LPCWSTR pFrom;  // list of names, each zero-terminated, ended by an empty one
    LPCWSTR pTo;
    FILEOP_FLAGS fFlags;
    BOOL fAnyOperationsAborted;
    LPVOID hNameMappings;
    LPCWSTR lpszProgressTitle;
};
using LPSHFILEOPSTRUCTW = SHFILEOPSTRUCTW*;
// FO_COPY of files and "folder\*" patterns into a folder, subfolders
// included, replacing existing files. 0 on success.
int SHFileOperationW(LPSHFILEOPSTRUCTW lpFileOp);

// "open" (or NULL) of a document or URL with the desktop's handler,
// xdg-open, without waiting for it. Greater than 32 when the handler was
// started; parameters and a working folder are not offered (SE_ERR_NOASSOC).
#define SE_ERR_NOASSOC 31
HINSTANCE ShellExecuteW(HWND hwnd, LPCWSTR lpOperation, LPCWSTR lpFile, LPCWSTR lpParameters, LPCWSTR lpDirectory,
                        INT nShowCmd);

BOOL PathRemoveFileSpecW(LPWSTR pszPath);
void PathStripPathW(LPWSTR pszPath);
void PathRemoveExtensionW(LPWSTR pszPath);
LPWSTR PathFindFileNameW(LPCWSTR pszPath);
#endif

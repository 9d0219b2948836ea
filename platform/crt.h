// The C runtime's wide file functions, accepting '\' as well as '/'.
#pragma once

#include <cstdio>

#ifndef _WIN32
FILE* _wfopen(const wchar_t* filename, const wchar_t* mode);
#endif

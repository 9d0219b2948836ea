// The layer's error texts by code, in a narrow and a wide table.
#pragma once

#include "platform/win_types.h"

namespace Drelk {

// Codes of 1000 and above are user-defined; codes the tables do not list
// (200 to 399 among them) give an empty text.
template <typename CharType>
const CharType* ErrorMessageOf(DWORD dwErrorCode);

template <>
const char* ErrorMessageOf<char>(DWORD dwErrorCode);
template <>
const wchar_t* ErrorMessageOf<wchar_t>(DWORD dwErrorCode);

}  // namespace Drelk

#include "net/http/http_error_message.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace Drelk {
namespace {

const std::vector<std::pair<DWORD, std::string>> kMessages = {
    {0, "Not specified"},
    {100, "Unexpected error occurred."},
    {101, "The index is out of range."},
    {102, "Out of memory."},
    {103, "The requested URL is not a valid URL."},
    {104, "The post context is not started yet."},
    {105, "Couldn't read expected bytes from a file."},
    {106, "The post context has not been finished yet."},
    {107, "The port number is not valid."},
    {108, "std::exception occurred."},
    {109, "The encoded URL is not valid."},
    {110, "The UTF8 string contains an invalid character."},
    {111, "An unexpected arithmetic error has been occurred."},
    {112, "An arithmetic overflow error has been occurred."},
    {113, "An interger divide by zero exception has been occurred."},
    {114, "The file (%s) aleady exists."},
    {400, "::HttpQueryInfo failed."},
    {401, "::InternetReadFile failed."},
    {402, "::InternetOpen failed."},
    {403, "::InternetConnect failed."},
    {404, "::HttpOpenRequest failed."},
    {405, "::HttpAddRequestHeaders failed."},
    {406, "::HttpSendRequest failed."},
    {407, "::HttpSendRequestEx failed."},
    {408, "::InternetWriteFile failed."},
    {409, "::HttpEndRequest failed."},
    {410, "::InternetSetOption failed."},
    {600, "::WideCharToMultiByte failed."},
    {601, "::MultiByteToWideChar failed."},
    {602, "::ReadFile failed."},
    {603, "OpenFile (::CreateFile) failed (\"%s\")."},
    {604, "::SetFilePointer failed."},
    {605, "::GetFileSize failed (\"%s\")."},
    {606, "::WriteFile failed (\"%s\")."},
    {1000, "user-defined error message"},
    {70000, "user-defined error message"},
};

TEST(HttpErrorMessage, EveryCodeHasItsTextInBothTables) {
    for (const auto& [code, text] : kMessages) {
        EXPECT_EQ(ErrorMessageOf<char>(code), text) << code;
        EXPECT_EQ(ErrorMessageOf<wchar_t>(code), std::wstring(text.begin(), text.end())) << code;
    }
}

TEST(HttpErrorMessage, CodesOutsideTheTablesGiveAnEmptyText) {
    for (DWORD code : {1u, 99u, 115u, 199u, 200u, 302u, 399u, 411u, 599u, 607u, 999u}) {
        EXPECT_STREQ(ErrorMessageOf<char>(code), "") << code;
        EXPECT_STREQ(ErrorMessageOf<wchar_t>(code), L"") << code;
    }
}

}  // namespace
}  // namespace Drelk

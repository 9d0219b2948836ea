// The listing forms of GetPrivateProfileStringW (a null section or key),
// which Windows answers with the names of the sections or keys, are left out
// of the stand-in: the launcher never lists.
#include "platform/kernel32.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>

namespace {

TEST(StandInProfile, ListingFormsReturnNothing) {
    testsupport::CurrentDirectory restore;
    testsupport::TempDir folder;
    std::filesystem::current_path(folder.Path());
    testsupport::WriteBytes("Platform.ini", "[Config]\nWeb=x\n");
    for (const auto& [section, key] : {std::pair<LPCWSTR, LPCWSTR>{nullptr, L"Web"}, {L"Config", nullptr}}) {
        std::wstring buffer(260, L'#');
        EXPECT_EQ(GetPrivateProfileStringW(section, key, L"d", buffer.data(), 260, L".\\Platform.ini"), 0u);
        EXPECT_EQ(std::wstring(buffer.c_str()), L"");
    }
}

}  // namespace

// A settings (profile) file of any bytes, read through the profile
// functions as the launcher reads its settings, and checked as the
// server's copy of the settings file is before it may replace the local
// one. What a read returns fits its buffer with its terminator, and a
// smaller buffer gets the start of what a larger one gets.
#include "app/settings_file_check.h"
#include "fuzz/fuzz_files.h"
#include "fuzz/require.h"
#include "platform/kernel32.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::InputFile settings;
    if (!settings.Write(data, size))
        return 0;
    const wchar_t* file = settings.Path().c_str();
    for (const wchar_t* key : {L"Platform", L"Web", L"Version", L"Language"}) {
        wchar_t whole[MAX_PATH];
        const DWORD length = GetPrivateProfileStringW(L"Config", key, L"none  ", whole, MAX_PATH, file);
        FUZZ_REQUIRE(length < MAX_PATH && whole[length] == L'\0');
        for (const DWORD capacity : {1u, 2u, 8u}) {
            wchar_t part[8];
            const DWORD partLength = GetPrivateProfileStringW(L"Config", key, L"none  ", part, capacity, file);
            FUZZ_REQUIRE(partLength < capacity && part[partLength] == L'\0');
            FUZZ_REQUIRE(partLength <= length && std::equal(part, part + partLength, whole));
        }
    }
    IsUsableSettingsFile(settings.Path());
    return 0;
}

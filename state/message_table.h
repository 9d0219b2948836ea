// The launcher's texts: fifteen messages and two font family names, filled
// once at start-up for the configured language and only read afterwards.
#pragma once

#include <array>
#include <string>

struct MessageTable {
    static constexpr int kEntryCount = 15;

    std::array<std::wstring, 2> fonts;
    std::array<std::wstring, kEntryCount> entries;

    // "chs" or "cht" (exact, case-sensitive); any other language leaves
    // every text empty.
    void Fill(const std::wstring& language);
};

extern MessageTable g_messages;

// The launcher's texts: fifteen messages, the short-disk text and two font
// family names, filled once at start-up for the configured language and only
// read afterwards.
#pragma once

#include <array>
#include <string>

struct MessageTable {
    static constexpr int kEntryCount = 15;

    std::array<std::wstring, 2> fonts;
    std::array<std::wstring, kEntryCount> entries;
    // Has {needed}, {free} and {folder} where the figures go.
    std::wstring diskShort;

    // "chs" or "cht" (exact, case-sensitive); any other language leaves
    // every text empty.
    void Fill(const std::wstring& language);

    // diskShort with the figures (MiB, as text) and the folder put in; empty
    // when the language has no texts.
    std::wstring DiskShortText(const std::wstring& neededMiB, const std::wstring& freeMiB,
                               const std::wstring& folder) const;
};

extern MessageTable g_messages;

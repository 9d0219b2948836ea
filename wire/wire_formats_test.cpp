#include "codec/md5_functions.h"
#include "wire/manifest_format.h"
#include "wire/md5_list_format.h"
#include "wire/version_answer_format.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::vector<std::wstring> Split(const std::wstring& text, int limit, const wchar_t* delimiters) {
    std::vector<wchar_t> buffer(text.begin(), text.end());
    buffer.push_back(L'\0');
    std::vector<wchar_t*> fields(limit, nullptr);
    const int count = SplitFields(buffer.data(), limit, delimiters, fields.data());
    return std::vector<std::wstring>(fields.begin(), fields.begin() + count);
}

using Fields = std::vector<std::wstring>;

}  // namespace

TEST(SplitFields, SkipsEmptyFieldsAndStopsAtTheLimit) {
    EXPECT_EQ(Split(L"a|b|c", 5, L"|"), (Fields{L"a", L"b", L"c"}));
    EXPECT_EQ(Split(L"||a|||b|", 5, L"|"), (Fields{L"a", L"b"}));
    EXPECT_EQ(Split(L"1|2|3|4|5|6|7", 5, L"|"), (Fields{L"1", L"2", L"3", L"4", L"5"}));
    EXPECT_EQ(Split(L"", 5, L"|"), Fields{});
    // A second "=" ends the value.
    EXPECT_EQ(Split(L"cdn_index=a=b", 2, L"="), (Fields{L"cdn_index", L"a"}));
    EXPECT_EQ(Split(L"key=", 2, L"="), (Fields{L"key"}));
}

TEST(SplitAnswer, KeepsKeyValueFieldsInOrderFromTheFirstFive) {
    const AnswerFieldList list = SplitAnswer(L"||cdn_url=U||novalue|cdn_index=a=b|CDN_PATH=x|web_url=W|cdn_path=late");
    EXPECT_EQ(list.fieldCount, 5);
    const std::vector<std::pair<std::wstring, std::wstring>> expected = {
        {L"cdn_url", L"U"}, {L"cdn_index", L"a"}, {L"CDN_PATH", L"x"}, {L"web_url", L"W"}};
    EXPECT_EQ(list.fields, expected);
}

TEST(ManifestFormat, RecordsRoundTripInKeyOrderAndPartialRecordsAreRefused) {
    ManifestId one{};
    one.fill(1);
    ManifestId two{};
    two.fill(0xfe);
    const std::string bytes = ManifestBytes({{"ffffffffff", one}, {"00000000a0", two}});
    ASSERT_EQ(bytes.size(), 2 * kManifestRecordSize);
    EXPECT_EQ(HexEncode(reinterpret_cast<const unsigned char*>(bytes.data()), 6), "00000000a0fe");

    std::vector<std::pair<std::string, ManifestId>> read;
    auto collect = [&](const std::string& key, const ManifestId& id) { read.emplace_back(key, id); };
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    ASSERT_TRUE(ReadManifestRecords(data, bytes.size(), collect));
    EXPECT_EQ(read, (std::vector<std::pair<std::string, ManifestId>>{{"00000000a0", two}, {"ffffffffff", one}}));

    read.clear();
    EXPECT_FALSE(ReadManifestRecords(data, bytes.size() - 1, collect));
    EXPECT_TRUE(read.empty());
    EXPECT_THROW(ManifestBytes({{"xyz", one}}), std::invalid_argument);
}

TEST(Md5ListFormat, WrittenListsReadBackWhole) {
    const std::vector<Md5ListEntry> entries = {{L"qm.exe", 3, L"3cd24fb0d6963f7d"},
                                               {L"data/世界.pak", 5368709120LL, L"0123456789abcdef"}};
    const std::string bytes = Md5ListBytes(entries);
    ASSERT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    std::wistringstream stream(DecodeMd5List(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
    const Md5ListRead read = ReadMd5List(stream);
    EXPECT_TRUE(read.Whole()) << testing::PrintToString(read.problem);
    ASSERT_EQ(read.entries.size(), 2u);
    EXPECT_EQ(read.entries[1].path, L"data/世界.pak");
    EXPECT_EQ(read.entries[1].size, 5368709120LL);
    EXPECT_EQ(read.entries[1].md5, L"0123456789abcdef");
}

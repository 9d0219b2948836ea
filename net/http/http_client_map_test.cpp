#include "net/http/http_client_map.h"

#include "net/http/http_tool.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Drelk {
namespace {

using Map = CHttpClientMapT<CHttpToolW>;

// "name=value/flags" for every entry in map order; a null value shows as "(null)".
std::vector<std::wstring> Entries(const Map& map) {
    std::vector<std::wstring> out;
    for (const auto& entry : map) {
        out.push_back(std::wstring(entry.szName.get()) + L"=" + (entry.szValue ? entry.szValue.get() : L"(null)") +
                      L"/" + std::to_wstring(entry.dwFlags));
    }
    return out;
}

TEST(HttpClientMap, OrdersByNameWithoutRegardToCaseKeepingArrivalOrderOfEqualNames) {
    Map map;
    map.Add(L"range", L"1");
    map.Add(L"Accept", L"2");
    map.Add(L"RANGE", L"3", Map::kRawValue);
    map.Add(L"b", L"4");
    map.Add(L"Range", L"5");

    EXPECT_EQ(Entries(map),
              (std::vector<std::wstring>{L"Accept=2/0", L"b=4/0", L"range=1/0", L"RANGE=3/2", L"Range=5/0"}));
    EXPECT_EQ(map.Count(), 5u);
}

TEST(HttpClientMap, KeepsItsOwnCopies) {
    Map map;
    std::wstring name = L"Name";
    std::wstring value = L"Value";
    map.Add(name.c_str(), value.c_str());
    name.assign(L"Other");
    value.assign(L"Changed");
    EXPECT_EQ(Entries(map), (std::vector<std::wstring>{L"Name=Value/0"}));
}

TEST(HttpClientMap, RemoveTakesEveryEntryOfTheNameOnly) {
    Map map;
    map.Add(L"Range", L"bytes=0-");
    map.Add(L"X", L"1");
    map.Add(L"RANGE", L"bytes=5-");
    map.Remove(L"range");
    EXPECT_EQ(Entries(map), (std::vector<std::wstring>{L"X=1/0"}));

    map.Clear();
    EXPECT_TRUE(map.Empty());
}

TEST(HttpClientMap, AddPointerDirectlyTakesOwnershipWithFlagsZero) {
    Map map;
    map.AddPointerDirectly(CHttpToolW::StringCopy(L"n"), nullptr);
    map.AddPointerDirectly(CHttpToolW::StringCopy(L"a"), CHttpToolW::StringCopy(L"v"));
    EXPECT_EQ(Entries(map), (std::vector<std::wstring>{L"a=v/0", L"n=(null)/0"}));
}

TEST(HttpClientMap, RefusesANullName) {
    Map map;
    for (int viaAdd = 0; viaAdd < 2; ++viaAdd) {
        try {
            if (viaAdd)
                map.Add(nullptr, L"v");
            else
                map.AddPointerDirectly(nullptr, CHttpToolW::StringCopy(L"v"));
            ADD_FAILURE() << "null name accepted";
        } catch (const httpclientexceptionW& e) {
            EXPECT_STREQ(e.GetMessageText(), L"CHttpClientMapT::AddPointerDirectly: szName can not be NULL.");
        }
    }
    EXPECT_TRUE(map.Empty());
}

}  // namespace
}  // namespace Drelk

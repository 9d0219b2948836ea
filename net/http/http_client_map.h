// A case-insensitive multimap of owned name/value strings: the request
// headers and the parameters of a client.
#pragma once

#include "platform/win_types.h"

#include <cstddef>
#include <memory>
#include <vector>

namespace Drelk {

template <typename HttpTool>
class CHttpClientMapT {
public:
    using CharType = typename HttpTool::CharType;
    using StringPtr = std::unique_ptr<CharType[]>;

    // Flags of an entry: the name or the value goes into a URL as it stands.
    static constexpr DWORD kRawName = 0x1;
    static constexpr DWORD kRawValue = 0x2;

    struct Entry {
        StringPtr szName;
        StringPtr szValue;  // may be null
        DWORD dwFlags;
    };
    using const_iterator = typename std::vector<Entry>::const_iterator;

    // Stores copies of both strings. A new entry goes after every entry with
    // an equal name, so equal names keep the order in which they came.
    void Add(const CharType* szName, const CharType* szValue, DWORD dwFlags = 0);
    // Takes ownership of strings that are already allocated; flags 0.
    void AddPointerDirectly(StringPtr szName, StringPtr szValue);
    // Removes every entry with the name (compared without regard to case).
    void Remove(const CharType* szName);
    void Clear() { m_entries.clear(); }

    bool Empty() const { return m_entries.empty(); }
    std::size_t Count() const { return m_entries.size(); }
    const_iterator begin() const { return m_entries.begin(); }
    const_iterator end() const { return m_entries.end(); }

private:
    void Insert(StringPtr szName, StringPtr szValue, DWORD dwFlags);

    // Sorted by name; small enough that a sorted vector beats a tree.
    std::vector<Entry> m_entries;
};

}  // namespace Drelk

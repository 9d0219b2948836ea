#include "tools/cdn/publish/pack_records.h"

#include "codec/md5_functions.h"
#include "tools/cdn/publish/file_handle.h"
#include "tools/cdn/publish/publish_error.h"

#include <sstream>

namespace fs = std::filesystem;

namespace {

fs::path RecordFile(const fs::path& root) {
    return root / "packing" / "sources";
}

std::string Key(const SourceDigest& source, const std::string& packer) {
    return HexEncode(source.data(), source.size()) + ' ' + packer;
}

}  // namespace

// One line per object: source digest, packer, object id, place (hex of its
// UTF-8 path, so that no file name can break the line).
std::map<std::string, PackRecords::Placed> PackRecords::Read(const fs::path& root) {
    std::map<std::string, Placed> records;
    std::error_code error;
    if (!fs::is_regular_file(RecordFile(root), error)) {
        return records;
    }
    std::istringstream lines(ReadWholeFile(RecordFile(root)));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string source, packer, id, place;
        if (!(fields >> source >> packer >> id >> place)) {
            continue;
        }
        const auto idBytes = BytesFromHex(id);
        const auto placeBytes = BytesFromHex(place);
        const auto sourceBytes = BytesFromHex(source);
        if (!idBytes || idBytes->size() != ContentId().size() || !placeBytes || placeBytes->empty() || !sourceBytes ||
            sourceBytes->size() != SourceDigest().size()) {
            continue;
        }
        const fs::path relative = PathFromUtf8(*placeBytes).lexically_normal();
        if (relative.is_absolute() || *relative.begin() == "..") {
            continue;
        }
        Placed placed;
        std::copy(idBytes->begin(), idBytes->end(), placed.id.begin());
        placed.place = relative;
        records[source + ' ' + packer] = placed;
    }
    return records;
}

void PackRecords::Load(const fs::path& root) {
    const fs::path key = fs::weakly_canonical(root);
    if (m_loaded.count(key)) {
        return;
    }
    const std::map<std::string, Placed>& records = m_loaded[key] = Read(root);
    for (const auto& [recordKey, placed] : records) {
        m_offered.insert({recordKey, {root / placed.place, placed.id}});
    }
}

std::vector<PackRecords::Object> PackRecords::Find(const SourceDigest& source, const std::string& packer) const {
    std::vector<Object> objects;
    const auto [first, last] = m_offered.equal_range(Key(source, packer));
    for (auto offered = first; offered != last; ++offered) {
        objects.push_back(offered->second);
    }
    return objects;
}

void PackRecords::Add(const SourceDigest& source, const std::string& packer, const ContentId& id,
                      const fs::path& place) {
    m_added[Key(source, packer)] = {id, place};
}

void PackRecords::Save(const fs::path& root) const {
    std::map<std::string, Placed> records;
    if (const auto loaded = m_loaded.find(fs::weakly_canonical(root)); loaded != m_loaded.end()) {
        records = loaded->second;
    }
    for (const auto& [key, placed] : m_added) {
        records[key] = placed;
    }
    std::string text;
    for (const auto& [key, placed] : records) {
        const std::u8string place = placed.place.generic_u8string();
        text += key + ' ' + ToHex(placed.id) + ' ' +
                HexEncode(reinterpret_cast<const unsigned char*>(place.data()), place.size()) + '\n';
    }
    CreateFolders(root / "packing");
    WriteFileAtomically(RecordFile(root), text);
}

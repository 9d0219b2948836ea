// An earlier publish, read through the same answers and manifests the
// launcher uses, to tell which CDN paths now carry new bytes.
#pragma once

#include "tools/cdn/publish/content_id.h"

#include <filesystem>
#include <map>
#include <string>

class PreviousPublish {
public:
    // Reads the index named by answers/launcher-<platform>.txt, or by
    // answers/client.txt when that platform was not published there.
    // Throws PublishError when neither answer or the index cannot be read.
    PreviousPublish(std::filesystem::path root, const std::string& platformCode);

    const std::string& IndexName() const { return m_indexName; }

    // True when the earlier publish served exactly these bytes at cdnPath.
    bool Holds(const std::wstring& cdnPath, const ContentId& id) const;

private:
    std::filesystem::path m_root;
    std::string m_indexName;
    std::map<std::string, ContentId> m_trees;
};

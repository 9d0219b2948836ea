#include "tools/cdn/publish/previous_publish.h"

#include "codec/path_key.h"
#include "platform/text.h"
#include "tools/cdn/publish/cdn_paths.h"
#include "tools/cdn/publish/file_handle.h"
#include "tools/cdn/publish/manifest.h"
#include "tools/cdn/publish/publish_error.h"
#include "tools/cdn/publish/version_answer.h"

namespace fs = std::filesystem;

PreviousPublish::PreviousPublish(fs::path root, const std::string& platformCode) : m_root(std::move(root)) {
    const fs::path answers = m_root / "answers";
    fs::path answer = answers / ("launcher-" + platformCode + ".txt");
    std::error_code error;
    if (!fs::exists(answer, error)) {
        answer = answers / "client.txt";
    }
    if (!fs::exists(answer, error)) {
        throw PublishError("--previous " + m_root.string() + ": no version answer found in " + answers.string());
    }
    const auto fields = AnswerFields(ReadWholeFile(answer));
    const auto index = fields.find("cdn_index");
    if (index == fields.end() || index->second.find('/') != std::string::npos || index->second == "." ||
        index->second == "..") {
        throw PublishError("--previous " + m_root.string() + ": " + answer.string() + " names no index");
    }
    m_indexName = index->second;
    const fs::path indexFile = m_root / "index" / m_indexName;
    const auto trees = ParseManifest(ReadWholeFile(indexFile));
    if (!trees) {
        throw PublishError("--previous " + m_root.string() + ": " + indexFile.string() + " is not a manifest");
    }
    m_trees = *trees;
}

bool PreviousPublish::Holds(const std::wstring& cdnPath, const ContentId& id) const {
    const auto tree = m_trees.find(PathKey(DirectoryOf(cdnPath)));
    if (tree == m_trees.end()) {
        return false;
    }
    const fs::path object = m_root / "tree" / ToHex(tree->second) / PathFromUtf8(platform::ToUtf8(FileNameOf(cdnPath)));
    std::error_code error;
    return fs::is_regular_file(object, error) && Sha1OfFile(object) == id;
}

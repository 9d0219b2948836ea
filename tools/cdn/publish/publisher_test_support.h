// The publisher's test fixture and a reader of published folders written
// apart from the publisher's own code, shared by the publisher's tests.
#pragma once

#include "tools/cdn/publish/publisher.h"

#include "codec/md5_functions.h"
#include "codec/path_key.h"
#include "platform/text.h"
#include "tests/support/temp_dir.h"
#include "tools/cdn/publish/publish_error.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace cdntest {

namespace fs = std::filesystem;

using testsupport::RandomBytes;
using testsupport::ReadBytes;

// The launcher's wide form of a path, independent of the process locale.
inline std::wstring Wide(const fs::path& path) {
    return platform::FromUtf8(path.string());
}

inline std::string Hex(const std::string& bytes) {
    return HexEncode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

// Reads a published folder the way the launcher does, written here apart
// from the publisher's own code: answer fields, raw 25-byte records, and
// ResolveCdnUrl's rule (diff entry for the whole path, else the tree of its
// directory).
class LauncherView {
public:
    LauncherView(const fs::path& root, const std::string& answerName) : m_root(root) {
        m_answerText = ReadBytes(root / "answers" / answerName);
        std::stringstream fields(m_answerText);
        for (std::string field; std::getline(fields, field, '|');) {
            const std::size_t equals = field.find('=');
            m_fields[field.substr(0, equals)] = field.substr(equals + 1);
        }
        m_index = Records(root / "index" / Field("cdn_index"));
        if (m_fields.count("cdn_diff_index")) {
            m_diff = Records(root / "diff" / (Field("cdn_index") + ".." + Field("cdn_diff_index")));
        }
    }

    const std::string& AnswerText() const { return m_answerText; }
    std::string Field(const std::string& key) const { return m_fields.count(key) ? m_fields.at(key) : ""; }
    const std::map<std::string, std::string>& Index() const { return m_index; }
    const std::map<std::string, std::string>& Diff() const { return m_diff; }

    // The object file the launcher's URL for cdnPath would fetch; empty when
    // it could not fetch one.
    fs::path Resolve(const std::wstring& cdnPath) const {
        const std::wstring name = cdnPath.substr(cdnPath.rfind(L'/') + 1);
        const std::size_t slash = cdnPath.rfind(L'/');
        const std::wstring directory = slash == std::wstring::npos ? L"." : cdnPath.substr(0, slash);
        fs::path object;
        if (const auto file = m_diff.find(PathKey(cdnPath)); file != m_diff.end()) {
            object = m_root / "file" / file->second / testsupport::Utf8Path(platform::ToUtf8(name));
        } else if (const auto tree = m_index.find(PathKey(directory)); tree != m_index.end()) {
            object = m_root / "tree" / tree->second / testsupport::Utf8Path(platform::ToUtf8(name));
        }
        return !object.empty() && fs::is_regular_file(object) ? object : fs::path();
    }

private:
    static std::map<std::string, std::string> Records(const fs::path& manifest) {
        const std::string bytes = ReadBytes(manifest);
        EXPECT_FALSE(bytes.empty()) << manifest;
        EXPECT_EQ(bytes.size() % 25, 0u) << manifest;
        std::map<std::string, std::string> records;
        for (std::size_t offset = 0; offset + 25 <= bytes.size(); offset += 25) {
            records[Hex(bytes.substr(offset, 5))] = Hex(bytes.substr(offset + 5, 20));
        }
        return records;
    }

    fs::path m_root;
    std::string m_answerText;
    std::map<std::string, std::string> m_fields;
    std::map<std::string, std::string> m_index;
    std::map<std::string, std::string> m_diff;
};

struct ListEntry {
    std::wstring path;
    std::uint64_t size;
    std::wstring md5Text;
};

// Checks the list's framing and returns its entries.
inline std::vector<ListEntry> ReadMd5List(const fs::path& list) {
    const std::string bytes = ReadBytes(list);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(bytes.size() % 2, 0u);
    const std::wstring text = platform::FromUtf16Le(bytes.substr(2));
    EXPECT_EQ(text.find(L'\r'), std::wstring::npos);
    EXPECT_EQ(text.back(), L'\n');
    std::vector<std::wstring> lines;
    std::wstringstream stream(text);
    for (std::wstring line; std::getline(stream, line, L'\n');) {
        lines.push_back(line);
    }
    EXPECT_EQ(lines.size() % 2, 0u);
    std::vector<ListEntry> entries;
    for (std::size_t i = 0; i + 1 < lines.size(); i += 2) {
        const std::size_t space = lines[i + 1].find(L' ');
        entries.push_back({lines[i], std::stoull(lines[i + 1].substr(0, space)), lines[i + 1].substr(space + 1)});
    }
    return entries;
}

// Every file below root, relative path to bytes.
inline std::map<std::string, std::string> Snapshot(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), root).generic_string()] = ReadBytes(entry.path());
        }
    }
    return files;
}

class PublisherTest : public ::testing::Test {
protected:
    void SetUp() override {
        LoadMd5Functions();
        Launcher("Launcher.exe", RandomBytes(100000, 1));
        Launcher("pv.ini", "[Config]\r\nWeb=http://127.0.0.1/web/index.html\r\n");
        Launcher("sub/helper.dll", "abc");
        Client("qm.exe", "abc");
        Client("data/maps/world.pak", std::string(200000, 'w') + RandomBytes(50000, 2));
        Client("data/empty.txt", "");
        Client("\xE5\x9C\xB0\xE5\x9B\xBE/\xE5\x90\x8D.dat", "named");
    }

    void Launcher(const std::string& relative, const std::string& bytes) {
        m_launcher[relative] = bytes;
        m_dir.Write("launcher/" + relative, bytes);
    }
    void Client(const std::string& relative, const std::string& bytes) {
        m_client[relative] = bytes;
        m_dir.Write("client/" + relative, bytes);
    }

    PublishOptions Options(const std::string& out = "cdn") const {
        PublishOptions options;
        options.launcherDir = m_dir.Path() / "launcher";
        options.clientDir = m_dir.Path() / "client";
        options.platformCode = "pv";
        options.outDir = m_dir.Path() / out;
        return options;
    }

    PublishSummary Run(const PublishOptions& options) {
        m_log.str("");
        return Publish(options, m_log, false);
    }

    // The message of the PublishError that options cause; fails the test
    // when there is none.
    std::string ErrorOf(const PublishOptions& options) {
        try {
            Run(options);
        } catch (const PublishError& error) {
            return error.what();
        }
        ADD_FAILURE() << "published without an error";
        return "";
    }

    fs::path Scratch() const { return m_dir.Path() / "scratch"; }

    testsupport::TempDir m_dir;
    std::map<std::string, std::string> m_launcher;
    std::map<std::string, std::string> m_client;
    std::ostringstream m_log;
};

}  // namespace cdntest

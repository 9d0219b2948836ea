// docs/protocol.md holds worked examples from a real publish. Each follows a
// marker "<!-- example: NAME -->" as a fenced block; this test publishes the
// same fixed input with the publisher, renders every example from the bytes
// publish wrote, and fails when a block differs, when a marked block is not
// known here, or when a known example is missing from the document. On a
// mismatch the message shows the block as it should read.
#include "codec/ed25519_signature.h"
#include "codec/md5_functions.h"
#include "codec/path_key.h"
#include "platform/text.h"
#include "tests/support/temp_dir.h"
#include "tools/cdn/publish/content_id.h"
#include "tools/cdn/publish/publisher.h"
#include "wire/release_keys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <numeric>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#ifndef QM_PROTOCOL_DOC
#error "QM_PROTOCOL_DOC names docs/protocol.md in the source tree"
#endif

namespace fs = std::filesystem;

namespace {

using testsupport::ReadBytes;

constexpr char kBaseUrl[] = "https://cdn.example.com/cdn/";
constexpr char kWebUrl[] = "https://cdn.example.com/web/index.html";
constexpr char kVersionUrl[] = "https://cdn.example.com/api/launcherversionnew";
constexpr char kSettings[] =
    "[Config]\r\n"
    "Web=https://cdn.example.com/web/index.html\r\n"
    "Version=https://cdn.example.com/api/launcherversionnew\r\n"
    "Language=chs\r\n";
constexpr std::int64_t kDefaultLifetime = 30 * 86400;

// The example's signing key: bytes 0 to 31. Its private half is in this
// file, so it signs examples and nothing else.
Ed25519Seed ExampleSeed() {
    Ed25519Seed seed{};
    std::iota(seed.begin(), seed.end(), static_cast<unsigned char>(0));
    return seed;
}

std::string Hex(std::string_view bytes) {
    return HexEncode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

// 16 bytes a line after a 4-digit offset, a gap after the eighth.
std::string HexDump(std::string_view bytes) {
    std::string dump;
    for (std::size_t offset = 0; offset < bytes.size(); offset += 16) {
        char where[24];
        std::snprintf(where, sizeof where, "%04x ", static_cast<unsigned>(offset));
        dump += where;
        for (std::size_t i = offset; i < std::min(bytes.size(), offset + 16); ++i)
            dump += (i == offset + 8 ? "  " : " ") + Hex(bytes.substr(i, 1));
        dump += '\n';
    }
    return dump;
}

std::vector<std::string> Split(const std::string& text, char delimiter) {
    std::vector<std::string> parts;
    std::stringstream stream(text);
    for (std::string part; std::getline(stream, part, delimiter);)
        parts.push_back(part);
    return parts;
}

// The fenced blocks after each example marker, by name.
std::map<std::string, std::string> ExampleBlocks(const std::string& doc, std::vector<std::string>& problems) {
    static const std::string kOpen = "<!-- example: ";
    static const std::string kClose = " -->";
    std::map<std::string, std::string> blocks;
    const std::vector<std::string> lines = Split(doc, '\n');
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (!line.starts_with(kOpen))
            continue;
        if (!line.ends_with(kClose)) {
            problems.push_back("line " + std::to_string(i + 1) + ": a marker must end with \"" + kClose + "\"");
            continue;
        }
        const std::string name = line.substr(kOpen.size(), line.size() - kOpen.size() - kClose.size());
        if (i + 1 >= lines.size() || !lines[i + 1].starts_with("```")) {
            problems.push_back("example \"" + name + "\": no fenced block right after its marker");
            continue;
        }
        std::string block;
        std::size_t end = i + 2;
        for (; end < lines.size() && lines[end] != "```"; ++end)
            block += lines[end] + '\n';
        if (end == lines.size())
            problems.push_back("example \"" + name + "\": its block never closes");
        if (!blocks.emplace(name, block).second)
            problems.push_back("example \"" + name + "\" appears twice");
        i = end;
    }
    return blocks;
}

// The answer's fields as the launcher splits them: "|" between fields, the
// first "=" between key and value.
std::map<std::string, std::string> Fields(const std::string& answer) {
    std::map<std::string, std::string> fields;
    for (const std::string& field : Split(answer, '|')) {
        const std::size_t equals = field.find('=');
        if (equals != std::string::npos)
            fields[field.substr(0, equals)] = field.substr(equals + 1);
    }
    return fields;
}

struct Record {
    std::string key;  // 10 hex
    std::string id;   // 40 hex
};

std::vector<Record> Records(const std::string& manifest) {
    EXPECT_EQ(manifest.size() % 25, 0u);
    std::vector<Record> records;
    for (std::size_t offset = 0; offset + 25 <= manifest.size(); offset += 25)
        records.push_back({Hex(manifest.substr(offset, 5)), Hex(manifest.substr(offset + 5, 20))});
    return records;
}

// One line a record: key, id and the path whose key it is ("?" for none
// of the candidates).
std::string RecordLines(const std::string& manifest, const std::vector<std::string>& candidates) {
    std::string lines;
    for (const Record& record : Records(manifest)) {
        std::string path = "?";
        for (const std::string& candidate : candidates) {
            if (PathKey(platform::FromUtf8(candidate)) == record.key)
                path = candidate;
        }
        lines += record.key + " " + record.id + "  " + path + "\n";
    }
    return lines;
}

// An md5 list's text after its byte-order mark, in UTF-8.
std::string ListText(const std::string& bytes) {
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    return platform::ToUtf8(platform::FromUtf16Le(bytes.substr(std::min<std::size_t>(2, bytes.size()))));
}

// A published folder read as the launcher reads it, written apart from the
// publisher's code: the answer's fields, the manifests it names and the
// resolution rule (the diff's record for the whole path, else the index's
// record for its directory, "." when there is none).
class Reader {
public:
    Reader(fs::path root, const std::string& answer) : m_root(std::move(root)), m_fields(Fields(answer)) {
        m_index = Map(ReadBytes(m_root / "index" / Field("cdn_index")));
        if (!Field("cdn_diff_index").empty())
            m_diff = Map(ReadBytes(m_root / "diff" / (Field("cdn_index") + ".." + Field("cdn_diff_index"))));
    }

    std::string Field(const std::string& key) const { return m_fields.count(key) ? m_fields.at(key) : ""; }

    // Below cdn_url; empty when neither manifest leads to the path.
    std::string Below(const std::string& cdnPath) const {
        const std::size_t slash = cdnPath.rfind('/');
        const std::string name = slash == std::string::npos ? cdnPath : cdnPath.substr(slash + 1);
        const std::string directory = slash == std::string::npos ? "." : cdnPath.substr(0, slash);
        if (const auto file = m_diff.find(PathKey(platform::FromUtf8(cdnPath))); file != m_diff.end())
            return "file/" + file->second + "/" + name;
        if (const auto tree = m_index.find(PathKey(platform::FromUtf8(directory))); tree != m_index.end())
            return "tree/" + tree->second + "/" + name;
        ADD_FAILURE() << "neither manifest leads to " << cdnPath;
        return "";
    }
    std::string Url(const std::string& cdnPath) const { return Field("cdn_url") + Below(cdnPath); }
    std::string Body(const std::string& cdnPath) const { return ReadBytes(m_root / Below(cdnPath)); }

private:
    static std::map<std::string, std::string> Map(const std::string& manifest) {
        std::map<std::string, std::string> map;
        for (const Record& record : Records(manifest))
            map[record.key] = record.id;
        return map;
    }

    fs::path m_root;
    std::map<std::string, std::string> m_fields;
    std::map<std::string, std::string> m_index;
    std::map<std::string, std::string> m_diff;
};

// The URL of a release document or its signatures: the suffix at the end of
// the answer URL's path, before any query.
std::string ReleaseUrl(const std::string& answerUrl, const std::string& suffix) {
    const std::size_t query = answerUrl.find('?');
    return query == std::string::npos ? answerUrl + suffix
                                      : answerUrl.substr(0, query) + suffix + answerUrl.substr(query);
}

// Path and size of each md5 list entry, in list order.
std::vector<std::pair<std::string, std::string>> ListEntries(const std::string& listBytes) {
    const std::vector<std::string> lines = Split(ListText(listBytes), '\n');
    std::vector<std::pair<std::string, std::string>> entries;
    for (std::size_t i = 0; i + 1 < lines.size(); i += 2)
        entries.emplace_back(lines[i], lines[i + 1].substr(0, lines[i + 1].find(' ')));
    return entries;
}

// Replaces the value of the line "key VALUE" with the placeholder, after
// checking that the value is a decimal number.
std::string WithPlaceholder(std::string text, const std::string& key, const std::string& placeholder,
                            std::int64_t& value) {
    const std::size_t start = text.find("\n" + key + " ");
    if (start == std::string::npos) {
        ADD_FAILURE() << "no line \"" << key << "\" in\n" << text;
        return text;
    }
    const std::size_t valueStart = start + key.size() + 2;
    const std::size_t valueEnd = text.find('\n', valueStart);
    const std::string digits = text.substr(valueStart, valueEnd - valueStart);
    EXPECT_TRUE(!digits.empty() && std::all_of(digits.begin(), digits.end(), ::isdigit)) << digits;
    value = digits.empty() ? 0 : std::stoll(digits);
    return text.replace(valueStart, valueEnd - valueStart, placeholder);
}

class ProtocolDoc : public ::testing::Test {
protected:
    void SetUp() override {
        LoadMd5Functions();
        const Ed25519PublicKey key = Ed25519PublicKeyOf(ExampleSeed());
        m_publicKeyHex = HexEncode(key.data(), key.size());
        m_dir.Write("keys/release.key", PrivateKeyText(ExampleSeed()));
        m_dir.Write("launcher/Launcher.exe", "MZ example launcher\n");
        m_dir.Write("launcher/pv.ini", kSettings);
        m_dir.Write("launcher/release.pub", PublicKeyLine(key));
        m_dir.Write("client/qm.exe", "abc");
        m_dir.Write("client/data/readme.txt", "Quillmoor\n");

        PublishOptions options;
        options.launcherDir = m_dir.Path("launcher");
        options.clientDir = m_dir.Path("client");
        options.platformCode = "pv";
        options.outDir = Out();
        options.baseUrl = kBaseUrl;
        options.webUrl = kWebUrl;
        options.signing.keyFiles = {m_dir.Path("keys/release.key")};
        std::ostringstream log;
        m_first = Publish(options, log, false);
        m_firstLauncherAnswer = ReadBytes(Out() / "answers" / "launcher-pv.txt");
        m_firstClientAnswer = ReadBytes(Out() / "answers" / "client.txt");
        const Reader first(Out(), m_firstClientAnswer);
        const Reader firstLauncher(Out(), m_firstLauncherAnswer);
        m_firstClientList = first.Body("C1/qm.md5");
        m_firstLauncherList = firstLauncher.Body("launcher/L1/launcher.md5");

        // The second publish changes one client file.
        m_dir.Write("client/data/readme.txt", "Quillmoor 2\n");
        options.previousDir = Out();
        m_second = Publish(options, log, false);
    }

    fs::path Out() const { return m_dir.Path("cdn"); }

    // Every example the document must hold, rendered from what was published.
    std::map<std::string, std::string> Rendered() const {
        std::map<std::string, std::string> examples;
        examples["first publish: launcher answer"] = m_firstLauncherAnswer + "\n";
        examples["first publish: client answer"] = m_firstClientAnswer + "\n";
        examples["second publish: client answer"] = ReadBytes(Out() / "answers" / "client.txt") + "\n";

        examples["first publish: index manifest"] =
            RecordLines(ReadBytes(Out() / "index" / m_first.indexName), {"launcher", "launcher/L1", "C1", "C1/data"});
        examples["second publish: diff manifest"] = RecordLines(
            ReadBytes(Out() / "diff" / (m_second.indexName + ".." + m_second.diffName)),
            {"launcher/pv.ini", "launcher/L1/launcher.md5", "launcher/L1/Launcher.exe.z", "launcher/L1/pv.ini.z",
             "launcher/L1/release.pub.z", "C1/qm.md5", "C1/qm.exe.lz", "C1/data/readme.txt.lz"});

        examples["first publish: launcher md5 list"] = ListText(m_firstLauncherList);
        examples["first publish: client md5 list"] = ListText(m_firstClientList);
        examples["first publish: client md5 list bytes"] = HexDump(m_firstClientList);

        std::string tree;
        std::vector<std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(Out())) {
            if (entry.is_regular_file())
                files.push_back(fs::relative(entry.path(), Out()).generic_string());
        }
        std::sort(files.begin(), files.end());
        for (const std::string& file : files)
            tree += file + "\n";
        examples["published folder"] = tree;

        examples["second publish: requests of a first install"] = Requests();

        std::string document = ReadBytes(Out() / "answers" / "client.release");
        std::int64_t serial = 0;
        std::int64_t published = 0;
        std::int64_t expires = 0;
        document = WithPlaceholder(document, "serial", "<serial>", serial);
        document = WithPlaceholder(document, "published", "<published>", published);
        document = WithPlaceholder(document, "expires", "<expires>", expires);
        EXPECT_EQ(expires, published + kDefaultLifetime);
        EXPECT_EQ(static_cast<std::uint64_t>(serial), m_second.releaseSerial);
        EXPECT_GT(m_second.releaseSerial, m_first.releaseSerial);
        examples["second publish: client release document"] = document;

        const std::string signatures = ReadBytes(Out() / "answers" / "client.release.sig");
        const auto parsed = ParseReleaseSignatures(signatures);
        EXPECT_TRUE(parsed && parsed->size() == 1) << signatures;
        if (parsed && !parsed->empty()) {
            EXPECT_TRUE(Ed25519Verify(Ed25519PublicKeyOf(ExampleSeed()),
                                      ReadBytes(Out() / "answers" / "client.release"), parsed->front().signature));
        }
        const std::size_t signatureStart = signatures.rfind(' ');
        examples["second publish: client release signature"] =
            signatures.substr(0, std::min(signatureStart, signatures.size())) + " <signature>\n";
        examples["release.pub"] = "ed25519 " + m_publicKeyHex + "\n";
        return examples;
    }

    // What a launcher with release.pub, installed from this very launcher
    // folder, fetches from the second publish for a first install of the
    // client, in order.
    std::string Requests() const {
        const std::string launcherAnswerUrl = std::string(kVersionUrl) + "?platform=pv";
        const std::string page = kWebUrl;
        const std::string clientAnswerUrl = page.substr(0, page.rfind('/') + 1) + "pcversion";
        const Reader launcher(Out(), ReadBytes(Out() / "answers" / "launcher-pv.txt"));
        const Reader client(Out(), ReadBytes(Out() / "answers" / "client.txt"));
        std::vector<std::string> urls;
        auto answer = [&](const std::string& url, const Reader& reader) {
            urls.push_back(ReleaseUrl(url, ".release"));
            urls.push_back(ReleaseUrl(url, ".release.sig"));
            urls.push_back(url);
            urls.push_back(reader.Field("cdn_url") + "index/" + reader.Field("cdn_index"));
            if (!reader.Field("cdn_diff_index").empty())
                urls.push_back(reader.Field("cdn_url") + "diff/" + reader.Field("cdn_index") + ".." +
                               reader.Field("cdn_diff_index"));
        };
        answer(launcherAnswerUrl, launcher);
        const std::string launcherPath = "launcher/" + launcher.Field("cdn_path");
        urls.push_back(launcher.Url(launcherPath + "launcher.md5"));
        // The installed launcher is the published one: nothing of it is fetched.
        urls.push_back(launcher.Url("launcher/pv.ini"));
        answer(clientAnswerUrl, client);
        const std::string clientPath = client.Field("cdn_path");
        urls.push_back(client.Url(clientPath + "qm.md5"));
        const auto entries = ListEntries(client.Body(clientPath + "qm.md5"));
        for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry)
            urls.push_back(client.Url(clientPath + entry->first + ".lz"));
        std::string lines;
        for (std::size_t i = 0; i < urls.size(); ++i)
            lines += (i < 9 ? " " : "") + std::to_string(i + 1) + "  GET " + urls[i] + "\n";
        return lines;
    }

    testsupport::TempDir m_dir;
    std::string m_publicKeyHex;
    PublishSummary m_first;
    PublishSummary m_second;
    std::string m_firstLauncherAnswer;
    std::string m_firstClientAnswer;
    std::string m_firstClientList;
    std::string m_firstLauncherList;
};

TEST_F(ProtocolDoc, WorkedExamplesAreWhatPublishWrites) {
    const std::string doc = ReadBytes(fs::path(QM_PROTOCOL_DOC));
    ASSERT_FALSE(doc.empty()) << "cannot read " << QM_PROTOCOL_DOC;
    std::vector<std::string> problems;
    const std::map<std::string, std::string> blocks = ExampleBlocks(doc, problems);
    for (const std::string& problem : problems)
        ADD_FAILURE() << QM_PROTOCOL_DOC << ": " << problem;

    const std::map<std::string, std::string> examples = Rendered();
    for (const auto& [name, text] : examples) {
        const auto block = blocks.find(name);
        if (block == blocks.end()) {
            ADD_FAILURE() << "the document has no example \"" << name << "\"; it reads:\n" << text;
            continue;
        }
        EXPECT_EQ(block->second, text) << "example \"" << name << "\" should read:\n" << text;
    }
    for (const auto& [name, text] : blocks) {
        EXPECT_TRUE(examples.count(name)) << "the document's example \"" << name << "\" is checked by nothing";
    }
}

// The rules the document gives for the ids, which a studio's own tools
// follow: an index is named after the SHA-1 of its bytes, a file id is the
// SHA-1 of the object, a tree id the SHA-1 of its folder's listing (each
// name, a zero byte and the object's file id, in byte order of the names),
// and a diff is named "<index>..<previous index>".
TEST_F(ProtocolDoc, IdsAreTheDigestsTheDocumentNames) {
    for (const std::string& index : {m_first.indexName, m_second.indexName}) {
        const std::string bytes = ReadBytes(Out() / "index" / index);
        EXPECT_EQ(ToHex(Sha1Of(bytes)), index);
        for (const Record& record : Records(bytes)) {
            std::string listing;
            std::vector<std::string> names;
            for (const auto& entry : fs::directory_iterator(Out() / "tree" / record.id))
                names.push_back(entry.path().filename().string());
            std::sort(names.begin(), names.end());
            ASSERT_FALSE(names.empty()) << record.id;
            for (const std::string& name : names) {
                const ContentId id = Sha1Of(ReadBytes(Out() / "tree" / record.id / name));
                listing += name + '\0';
                listing.append(reinterpret_cast<const char*>(id.data()), id.size());
            }
            EXPECT_EQ(ToHex(Sha1Of(listing)), record.id);
        }
    }
    EXPECT_EQ(m_second.diffName, m_first.indexName);
    const std::string diff = ReadBytes(Out() / "diff" / (m_second.indexName + ".." + m_first.indexName));
    ASSERT_EQ(Records(diff).size(), 2u);
    for (const Record& record : Records(diff)) {
        const fs::path folder = Out() / "file" / record.id;
        ASSERT_TRUE(fs::is_directory(folder)) << folder;
        for (const auto& entry : fs::directory_iterator(folder))
            EXPECT_EQ(ToHex(Sha1Of(ReadBytes(entry.path()))), record.id) << entry.path();
    }
}

}  // namespace

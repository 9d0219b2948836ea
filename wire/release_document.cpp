#include "wire/release_document.h"

#include "codec/md5_functions.h"
#include "platform/text.h"
#include "wire/version_answer_format.h"

#include <charconv>
#include <stdexcept>
#include <vector>

namespace {

constexpr std::string_view kHeader = "quillmoor-release 1";

bool HasControl(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return true;
    }
    return false;
}

const char* KindName(ReleaseKind kind) {
    return kind == ReleaseKind::Launcher ? "launcher" : "client";
}

template <typename Number>
bool ReadNumber(std::string_view text, Number& value) {
    if (text.empty() || (text.size() > 1 && text[0] == '0') || text[0] == '-' || text[0] == '+')
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= 0;
}

bool ReadDigest(std::string_view hex, Sha256Digest& digest) {
    return HexDecode(hex, digest.data(), digest.size());
}

// Splits at LF; the text must end with one.
std::optional<std::vector<std::string_view>> Lines(std::string_view text) {
    if (text.empty() || text.back() != '\n')
        return std::nullopt;
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// The value after "key ", when line is that key's line.
std::optional<std::string_view> Field(std::string_view line, std::string_view key) {
    if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != ' ')
        return std::nullopt;
    return line.substr(key.size() + 1);
}

}  // namespace

std::string ReleaseDocumentText(const ReleaseDocument& document) {
    if (document.platform.empty() || HasControl(document.platform) || document.platform.find(' ') != std::string::npos)
        throw std::invalid_argument("a release names a platform code without blanks");
    if (HasControl(document.answer))
        throw std::invalid_argument("a release's answer holds a control character");
    std::string text = std::string(kHeader) + "\n";
    text += std::string("kind ") + KindName(document.kind) + "\n";
    text += "platform " + document.platform + "\n";
    text += "serial " + std::to_string(document.serial) + "\n";
    text += "published " + std::to_string(document.published) + "\n";
    text += "expires " + std::to_string(document.expires) + "\n";
    text += "answer " + document.answer + "\n";
    for (const auto& [path, body] : document.bodies) {
        if (path.empty() || HasControl(path))
            throw std::invalid_argument("a release body path is empty or holds a control character");
        text += "body " + HexEncode(body.sha256.data(), body.sha256.size()) + " " + std::to_string(body.size) + " " +
                path + "\n";
    }
    return text;
}

std::optional<ReleaseDocument> ParseReleaseDocument(std::string_view text, std::string& problem) {
    auto refuse = [&](std::string why) -> std::optional<ReleaseDocument> {
        problem = std::move(why);
        return std::nullopt;
    };
    if (text.size() > kMaxReleaseDocumentBytes)
        return refuse("larger than " + std::to_string(kMaxReleaseDocumentBytes) + " bytes");
    const auto lines = Lines(text);
    if (!lines || lines->size() < 7 || (*lines)[0] != kHeader)
        return refuse("no release document: it must start with \"" + std::string(kHeader) +
                      "\" and end with a line end");

    ReleaseDocument document;
    const std::optional<std::string_view> kind = Field((*lines)[1], "kind");
    if (kind == "launcher")
        document.kind = ReleaseKind::Launcher;
    else if (kind != "client")
        return refuse("line 2: no kind launcher or client");
    const std::optional<std::string_view> platformCode = Field((*lines)[2], "platform");
    if (!platformCode || platformCode->empty() || platformCode->find(' ') != std::string_view::npos ||
        HasControl(*platformCode))
        return refuse("line 3: no platform code");
    document.platform = *platformCode;
    const std::optional<std::string_view> serial = Field((*lines)[3], "serial");
    const std::optional<std::string_view> published = Field((*lines)[4], "published");
    const std::optional<std::string_view> expires = Field((*lines)[5], "expires");
    if (!serial || !ReadNumber(*serial, document.serial))
        return refuse("line 4: no serial");
    if (!published || !ReadNumber(*published, document.published))
        return refuse("line 5: no publish time");
    if (!expires || !ReadNumber(*expires, document.expires))
        return refuse("line 6: no expiry");
    const std::optional<std::string_view> answer = Field((*lines)[6], "answer");
    if (!answer || HasControl(*answer))
        return refuse("line 7: no answer");
    document.answer = *answer;

    for (std::size_t i = 7; i < lines->size(); ++i) {
        const std::string where = "line " + std::to_string(i + 1) + ": ";
        const std::optional<std::string_view> body = Field((*lines)[i], "body");
        if (!body)
            return refuse(where + "not a body line");
        const std::size_t sizeStart = body->find(' ');
        const std::size_t pathStart = sizeStart == std::string_view::npos ? sizeStart : body->find(' ', sizeStart + 1);
        if (pathStart == std::string_view::npos || pathStart + 1 == body->size())
            return refuse(where + "a body needs a digest, a size and a path");
        ReleaseBody entry;
        const std::string_view path = body->substr(pathStart + 1);
        if (!ReadDigest(body->substr(0, sizeStart), entry.sha256) ||
            !ReadNumber(body->substr(sizeStart + 1, pathStart - sizeStart - 1), entry.size) || HasControl(path))
            return refuse(where + "a malformed body");
        if (!document.bodies.empty() && document.bodies.rbegin()->first >= path)
            return refuse(where + "bodies are not in strict path order");
        document.bodies.emplace_hint(document.bodies.end(), std::string(path), entry);
    }
    return document;
}

std::string AnswerWithoutCdnUrl(std::string_view answer) {
    std::string fields;
    for (const auto& [key, value] : SplitAnswer(platform::FromUtf8(answer)).fields) {
        if (key == L"cdn_url")
            continue;
        fields += (fields.empty() ? "" : "|") + platform::ToUtf8(key) + "=" + platform::ToUtf8(value);
    }
    return fields;
}

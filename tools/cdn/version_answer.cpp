#include "tools/cdn/version_answer.h"

#include "tools/cdn/publish_error.h"

#include <vector>

namespace {

// Room for the longest "http://HOST:PORT" the server would fill in.
constexpr std::size_t kServerUrlAllowance = 64;
constexpr std::size_t kMaxFields = 5;

void CheckValue(std::string_view key, std::string_view value) {
    const std::string where = "version answer field " + std::string(key) + " \"" + std::string(value) + "\": ";
    if (value.empty()) {
        throw PublishError(where + "an empty value is skipped by the launcher");
    }
    for (char c : value) {
        if (c == '|' || c == '=') {
            throw PublishError(where + "\"" + c + "\" would split the field");
        }
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            throw PublishError(where + "control characters are not allowed");
        }
    }
}

std::size_t CountPlaceholders(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t at = text.find(kServerPlaceholder); at != std::string_view::npos;
         at = text.find(kServerPlaceholder, at + kServerPlaceholder.size())) {
        ++count;
    }
    return count;
}

// Splits as the launcher does: delimiters end fields, empty fields vanish,
// and the walk stops at the delimiter that completes the limit.
std::vector<std::string_view> Split(std::string_view text, char delimiter, std::size_t limit) {
    std::vector<std::string_view> fields;
    std::size_t start = std::string_view::npos;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == delimiter) {
            if (start != std::string_view::npos) {
                fields.push_back(text.substr(start, i - start));
                start = std::string_view::npos;
                if (fields.size() == limit) {
                    break;
                }
            }
        } else if (start == std::string_view::npos) {
            start = i;
        }
    }
    return fields;
}

}  // namespace

std::string AnswerText(const VersionAnswer& answer) {
    std::vector<std::pair<std::string_view, std::string_view>> fields = {
        {"cdn_url", answer.cdnUrl}, {"cdn_path", answer.cdnPath}, {"cdn_index", answer.cdnIndex}};
    if (!answer.cdnDiffIndex.empty()) {
        fields.emplace_back("cdn_diff_index", answer.cdnDiffIndex);
    }
    fields.emplace_back("web_url", answer.webUrl);

    std::string text;
    for (const auto& [key, value] : fields) {
        CheckValue(key, value);
        text += (text.empty() ? "" : "|") + std::string(key) + "=" + std::string(value);
    }
    const std::size_t worstCase = text.size() + CountPlaceholders(text) * kServerUrlAllowance;
    if (worstCase > kMaxAnswerBytes) {
        throw PublishError("the version answer would be " + std::to_string(worstCase) +
                           " bytes; the launcher reads at most " + std::to_string(kMaxAnswerBytes));
    }
    return text;
}

std::map<std::string, std::string> AnswerFields(std::string_view text) {
    std::map<std::string, std::string> fields;
    for (std::string_view field : Split(text, '|', kMaxFields)) {
        const std::vector<std::string_view> parts = Split(field, '=', 2);
        if (parts.size() == 2) {
            fields[std::string(parts[0])] = std::string(parts[1]);
        }
    }
    return fields;
}

std::string FillServerPlaceholder(std::string_view text, std::string_view serverUrl) {
    std::string filled;
    std::size_t from = 0;
    for (std::size_t at = text.find(kServerPlaceholder); at != std::string_view::npos;
         at = text.find(kServerPlaceholder, from)) {
        filled.append(text.substr(from, at - from)).append(serverUrl);
        from = at + kServerPlaceholder.size();
    }
    filled.append(text.substr(from));
    return filled;
}

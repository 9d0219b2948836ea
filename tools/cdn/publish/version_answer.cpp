#include "tools/cdn/publish/version_answer.h"

#include "platform/text.h"
#include "tools/cdn/publish/publish_error.h"

#include <vector>

namespace {

// Room for the longest "http://HOST:PORT" the server would fill in.
constexpr std::size_t kServerUrlAllowance = 64;

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
    for (const auto& [key, value] : SplitAnswer(platform::FromUtf8(text)).fields) {
        fields[platform::ToUtf8(key)] = platform::ToUtf8(value);
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

// Version answers: UTF-8 "key=value" fields joined by "|", no line end (the
// launcher would keep it as part of the last value).
#pragma once

#include "wire/version_answer_format.h"

#include <map>
#include <string>
#include <string_view>

// Stands for "http://HOST:PORT" in published answers; the server fills it in
// per request, so one published tree works on any port.
inline constexpr std::string_view kServerPlaceholder = "{server}";

struct VersionAnswer {
    std::string cdnUrl;
    std::string cdnPath;
    std::string cdnIndex;
    std::string cdnDiffIndex;  // empty: no diff manifest named
    std::string webUrl;
};

// Throws PublishError for a value the launcher would read differently: empty
// (the field would be skipped), holding "|" or "=", a control character, or
// an answer that could exceed 1024 bytes once the placeholder is filled in.
std::string AnswerText(const VersionAnswer& answer);

// Fields as the launcher splits them: at most 5, keys case-sensitive,
// a value ends at a second "=". Fields without "=" are dropped.
std::map<std::string, std::string> AnswerFields(std::string_view text);

std::string FillServerPlaceholder(std::string_view text, std::string_view serverUrl);

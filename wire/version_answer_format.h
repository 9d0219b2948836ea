// Version answers: UTF-8 text of "key=value" fields separated by "|", read
// into a 1024-byte buffer. The reader splits exactly as the launcher does:
// empty fields vanish, at most five fields are read, and a second "=" ends a
// value.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

inline constexpr std::size_t kMaxAnswerBytes = 1024;
inline constexpr int kAnswerFieldLimit = 5;
// Fewer fields than this and nothing of the answer is taken.
inline constexpr int kAnswerFieldMinimum = 4;

// Splits text in place at any of the delimiters, at most limit fields;
// empty fields are skipped. Returns the number of fields found.
int SplitFields(wchar_t* text, int limit, const wchar_t* delimiters, wchar_t** fields);

struct AnswerFieldList {
    int fieldCount = 0;  // fields found, with or without "="
    // Key and value of each field that splits into exactly two, in order;
    // keys are case-sensitive and untrimmed.
    std::vector<std::pair<std::wstring, std::wstring>> fields;
};

AnswerFieldList SplitAnswer(std::wstring_view text);

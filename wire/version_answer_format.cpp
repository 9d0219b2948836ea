#include "wire/version_answer_format.h"

#include <cwchar>

int SplitFields(wchar_t* text, int limit, const wchar_t* delimiters, wchar_t** fields) {
    int count = 0;
    bool atFieldStart = true;
    for (wchar_t* p = text; *p; ++p) {
        if (std::wcschr(delimiters, *p)) {
            *p = L'\0';
            if (count == limit)
                break;
            atFieldStart = true;
        } else if (atFieldStart) {
            fields[count++] = p;
            atFieldStart = false;
        }
    }
    return count;
}

AnswerFieldList SplitAnswer(std::wstring_view text) {
    std::vector<wchar_t> copy(text.begin(), text.end());
    copy.push_back(L'\0');
    wchar_t* fields[kAnswerFieldLimit] = {};
    AnswerFieldList list;
    list.fieldCount = SplitFields(copy.data(), kAnswerFieldLimit, L"|", fields);
    for (int i = 0; i < list.fieldCount; ++i) {
        wchar_t* parts[2] = {};
        if (SplitFields(fields[i], 2, L"=", parts) == 2)
            list.fields.emplace_back(parts[0], parts[1]);
    }
    return list;
}

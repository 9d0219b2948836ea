#include "platform/command_line.h"

namespace platform {

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// Appends one argument quoted so that the splitting rule gives it back.
void AppendQuoted(std::wstring& line, const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
        line += argument;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        line.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    // Those before the closing quote are doubled too.
    line.append(2 * backslashes, L'\\');
    line += L'"';
}

}  // namespace

std::vector<std::wstring> SplitCommandLine(std::wstring_view commandLine) {
    std::vector<std::wstring> arguments;
    std::size_t pos = 0;
    const std::size_t size = commandLine.size();

    if (size > 0 && commandLine[0] == L'"') {
        std::size_t close = commandLine.find(L'"', 1);
        arguments.emplace_back(commandLine.substr(1, close == std::wstring_view::npos ? close : close - 1));
        pos = close == std::wstring_view::npos ? size : close + 1;
    } else {
        while (pos < size && !IsBlank(commandLine[pos])) {
            ++pos;
        }
        arguments.emplace_back(commandLine.substr(0, pos));
    }

    for (;;) {
        while (pos < size && IsBlank(commandLine[pos])) {
            ++pos;
        }
        if (pos >= size) {
            return arguments;
        }
        std::wstring argument;
        bool quoted = false;
        while (pos < size && (quoted || !IsBlank(commandLine[pos]))) {
            std::size_t backslashes = 0;
            while (pos < size && commandLine[pos] == L'\\') {
                ++backslashes;
                ++pos;
            }
            if (pos < size && commandLine[pos] == L'"') {
                argument.append(backslashes / 2, L'\\');
                if (backslashes % 2 == 1) {
                    argument += L'"';
                } else {
                    quoted = !quoted;
                }
                ++pos;
            } else if (backslashes > 0) {
                argument.append(backslashes, L'\\');
            } else {
                argument += commandLine[pos++];
            }
        }
        arguments.push_back(std::move(argument));
    }
}

std::wstring JoinCommandLine(const std::vector<std::wstring>& arguments) {
    std::wstring line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        if (i == 0) {
            // Argument 0 knows no escapes: only a plain pair of quotes.
            bool plain =
                !argument.empty() && argument.front() != L'"' && argument.find_first_of(L" \t") == std::wstring::npos;
            line += plain ? argument : L'"' + argument + L'"';
        } else {
            line += L' ';
            AppendQuoted(line, argument);
        }
    }
    return line;
}

}  // namespace platform

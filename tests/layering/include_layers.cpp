// Reads every #include of the source tree and reports each one that points
// against the rules in layers.txt: a layer that reaches up, a folder beside
// the ladder that reaches where it should not, one of the folders that stand
// apart reaching into another, test support in a program,
// a display, drawing or transfer library outside the platform, or a test of
// the system being built for outside it.
//
//   include_layers SOURCE_ROOT RULES_FILE
//
// Exits 0 when every include keeps the rules, 1 when one does not, 2 when
// the rules cannot be read.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct LibraryRule {
    std::vector<std::string> folders;
    std::vector<std::string> headers;  // prefixes
};

struct ApartRule {
    std::vector<std::string> folders;  // each with the folders inside it
    std::string reason;
};

struct Rules {
    std::vector<std::string> ladder;  // top to bottom
    std::map<std::string, std::vector<std::string>> beside;
    std::set<std::string> testsOnly;
    std::vector<LibraryRule> libraries;
    std::vector<ApartRule> apart;
    std::vector<std::string> systemFolders;  // where "#if ... _WIN32" may stand
    std::vector<std::string> skipped;
    std::map<std::string, std::string> reasons;  // by folder
};

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

bool Within(const std::string& path, const std::string& folder) {
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

std::optional<Rules> ReadRules(const fs::path& file) {
    std::ifstream in(file);
    if (!in)
        return std::nullopt;
    Rules rules;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (line.empty() || line[0] == '#')
            continue;
        const std::size_t bar = line.find('|');
        const std::string reason = bar == std::string::npos ? "" : line.substr(bar + 1);
        std::string rule = line.substr(0, bar);
        std::string targets;
        if (const std::size_t colon = rule.find(':'); colon != std::string::npos) {
            targets = rule.substr(colon + 1);
            rule.erase(colon);
        }
        const std::vector<std::string> head = Words(rule);
        if (head.size() < 2 || reason.find_first_not_of(' ') == std::string::npos) {
            std::cerr << file.string() << ":" << number << ": a rule needs a kind, a folder and a reason\n";
            return std::nullopt;
        }
        const std::string& kind = head[0];
        if (kind == "layer")
            rules.ladder.push_back(head[1]);
        else if (kind == "beside")
            rules.beside[head[1]] = Words(targets);
        else if (kind == "tests")
            rules.testsOnly.insert(head[1]);
        else if (kind == "system")
            rules.systemFolders.assign(head.begin() + 1, head.end());
        else if (kind == "skip")
            rules.skipped.push_back(head[1]);
        else if (kind == "apart")
            rules.apart.push_back({{head.begin() + 1, head.end()}, reason.substr(reason.find_first_not_of(' '))});
        else if (kind == "library") {
            rules.libraries.push_back({{head.begin() + 1, head.end()}, Words(targets)});
        } else {
            std::cerr << file.string() << ":" << number << ": unknown rule '" << kind << "'\n";
            return std::nullopt;
        }
        rules.reasons[head[1]] = reason.substr(reason.find_first_not_of(' '));
    }
    return rules;
}

class Checker {
public:
    explicit Checker(Rules rules) : m_rules(std::move(rules)) {
        for (const auto& layer : m_rules.ladder)
            m_folders.push_back(layer);
        for (const auto& [folder, targets] : m_rules.beside)
            m_folders.push_back(folder);
        for (const auto& folder : m_rules.testsOnly)
            m_folders.push_back(folder);
    }

    bool Skipped(const std::string& path) const {
        return std::any_of(m_rules.skipped.begin(), m_rules.skipped.end(),
                           [&](const std::string& folder) { return Within(path, folder); });
    }

    // The reason for refusing the include, or nothing when it is allowed.
    std::optional<std::string> Quoted(const std::string& file, const std::string& target) const {
        const std::string from = FolderOf(file, false);
        const std::string to = FolderOf(target, true);
        if (to.empty() || from.empty() || from == to)
            return std::nullopt;
        if (const auto apart = Apart(file, target))
            return apart;
        const bool testCode = file.find("test") != std::string::npos;
        if (m_rules.testsOnly.count(to) && !testCode && !IsBesideWith(from, "*"))
            return to + " is for tests only (" + m_rules.reasons.at(to) + ")";
        if (m_rules.testsOnly.count(to))
            return std::nullopt;
        const auto below = [&](const std::string& layer) {
            const int top = LayerIndex(layer);
            const int target = LayerIndex(to);
            return top >= 0 && target >= top;
        };
        if (LayerIndex(from) >= 0) {
            if (below(from))
                return std::nullopt;
            return from + " may not include " + to + ", " +
                   (LayerIndex(to) >= 0 ? "a layer above it" : "a folder beside the ladder");
        }
        for (const std::string& allowed : m_rules.beside.at(from)) {
            if (allowed == "*" || allowed == to)
                return std::nullopt;
            if (allowed.back() == '+' && below(allowed.substr(0, allowed.size() - 1)))
                return std::nullopt;
        }
        return from + " may not include " + to + " (" + m_rules.reasons.at(from) + ")";
    }

    // Headers of a restricted library only in the folders its rules name.
    std::optional<std::string> Angled(const std::string& file, const std::string& header) const {
        std::vector<std::string> folders;
        for (const LibraryRule& rule : m_rules.libraries)
            if (std::any_of(rule.headers.begin(), rule.headers.end(),
                            [&](const std::string& prefix) { return header.rfind(prefix, 0) == 0; }))
                folders.insert(folders.end(), rule.folders.begin(), rule.folders.end());
        if (folders.empty() || std::any_of(folders.begin(), folders.end(),
                                           [&](const std::string& folder) { return Within(file, folder); }))
            return std::nullopt;
        std::string names;
        for (std::size_t i = 0; i < folders.size(); ++i)
            names += (i == 0 ? "" : i + 1 == folders.size() ? " and " : ", ") + folders[i];
        return "only " + names + " may use this library";
    }

    // A test of the system compiled for belongs behind the platform.
    std::optional<std::string> Conditional(const std::string& file, const std::string& line) const {
        if (line.find("_WIN32") == std::string::npos ||
            std::any_of(m_rules.systemFolders.begin(), m_rules.systemFolders.end(),
                        [&](const std::string& folder) { return Within(file, folder); }))
            return std::nullopt;
        return "only platform may ask which system it is built for";
    }

private:
    // Folders that stand apart: what lies in one never includes what lies in
    // another, whatever the ladder says of their places.
    std::optional<std::string> Apart(const std::string& file, const std::string& target) const {
        for (const ApartRule& rule : m_rules.apart) {
            const auto side = [&](const std::string& path) {
                return std::find_if(rule.folders.begin(), rule.folders.end(),
                                    [&](const std::string& folder) { return Within(path, folder); });
            };
            const auto from = side(file);
            const auto to = side(target);
            if (from != rule.folders.end() && to != rule.folders.end() && from != to)
                return *from + " may not include " + *to + " (" + rule.reason + ")";
        }
        return std::nullopt;
    }

    // The longest named folder that holds the path. Test support obeys the
    // rules of the folder around it; only what includes it is restricted.
    std::string FolderOf(const std::string& path, bool withTestsOnly) const {
        std::string best;
        for (const auto& folder : m_folders)
            if (Within(path, folder) && folder.size() > best.size() &&
                (withTestsOnly || !m_rules.testsOnly.count(folder)))
                best = folder;
        return best;
    }

    int LayerIndex(const std::string& folder) const {
        const auto found = std::find(m_rules.ladder.begin(), m_rules.ladder.end(), folder);
        return found == m_rules.ladder.end() ? -1 : static_cast<int>(found - m_rules.ladder.begin());
    }

    bool IsBesideWith(const std::string& folder, const std::string& target) const {
        const auto found = m_rules.beside.find(folder);
        return found != m_rules.beside.end() &&
               std::find(found->second.begin(), found->second.end(), target) != found->second.end();
    }

    Rules m_rules;
    std::vector<std::string> m_folders;
};

// The directive of a preprocessor line ("include", "ifdef", ...) and what
// follows it; nothing for other lines.
std::optional<std::pair<std::string, std::string>> Directive(const std::string& line) {
    std::size_t at = line.find_first_not_of(" \t");
    if (at == std::string::npos || line[at] != '#')
        return std::nullopt;
    at = line.find_first_not_of(" \t", at + 1);
    if (at == std::string::npos)
        return std::nullopt;
    std::size_t end = at;
    while (end < line.size() && std::isalpha(static_cast<unsigned char>(line[end])))
        ++end;
    return std::make_pair(line.substr(at, end - at), line.substr(end));
}

bool IsSource(const fs::path& file) {
    const std::string extension = file.extension().string();
    return extension == ".cpp" || extension == ".h" || extension == ".c";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: include_layers SOURCE_ROOT RULES_FILE\n";
        return 2;
    }
    const fs::path root = argv[1];
    std::optional<Rules> rules = ReadRules(argv[2]);
    if (!rules)
        return 2;
    const Checker checker(std::move(*rules));

    std::vector<std::string> files;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = it->path().filename().string();
        // Build trees and hidden folders hold no sources of ours.
        if (it->is_directory() && (name.rfind("build", 0) == 0 || name[0] == '.')) {
            it.disable_recursion_pending();
            continue;
        }
        if (it->is_regular_file() && IsSource(it->path()))
            files.push_back(fs::relative(it->path(), root).generic_string());
    }
    std::sort(files.begin(), files.end());

    int faults = 0;
    for (const std::string& file : files) {
        if (checker.Skipped(file))
            continue;
        std::ifstream in(root / file);
        int number = 0;
        for (std::string line; std::getline(in, line);) {
            ++number;
            const auto directive = Directive(line);
            if (!directive)
                continue;
            const auto& [name, rest] = *directive;
            if (name == "if" || name == "ifdef" || name == "ifndef" || name == "elif") {
                if (const auto fault = checker.Conditional(file, rest)) {
                    std::cout << file << ":" << number << ": " << *fault << "\n";
                    ++faults;
                }
                continue;
            }
            const std::size_t open = rest.find_first_of("<\"");
            const std::size_t close = open == std::string::npos ? open : rest.find_first_of(">\"", open + 1);
            if (name != "include" || close == std::string::npos)
                continue;
            const std::string target = rest.substr(open + 1, close - open - 1);
            const auto fault = rest[open] == '"' ? checker.Quoted(file, target) : checker.Angled(file, target);
            if (fault) {
                std::cout << file << ":" << number << ": includes " << target << ": " << *fault << "\n";
                ++faults;
            }
        }
    }
    std::cout << files.size() << " files read, " << faults << " lines against the rules\n";
    return faults == 0 ? 0 : 1;
}

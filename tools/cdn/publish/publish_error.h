// The one way the publisher refuses: a message that names the input at fault,
// or several such messages at once, so that one run reports every offender.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

class PublishError : public std::runtime_error {
public:
    explicit PublishError(const std::string& problem) : std::runtime_error(problem) {}
    // Each problem on a line of its own below a count; one alone as it stands.
    explicit PublishError(const std::vector<std::string>& problems) : std::runtime_error(Joined(problems)) {}

private:
    static std::string Joined(const std::vector<std::string>& problems) {
        if (problems.size() == 1) {
            return problems.front();
        }
        std::string text = std::to_string(problems.size()) + " problems, nothing was published:";
        for (const std::string& problem : problems) {
            text += "\n  " + problem;
        }
        return text;
    }
};

// An environment variable set for the scope of a test and put back as it
// was afterwards (removed again when it was not set). The interface is the
// same everywhere; changing the environment is the system's own
// (environment_posix.cpp).
#pragma once

#include <optional>
#include <string>

namespace testsupport {

class ScopedVariable {
public:
    ScopedVariable(std::string name, const std::string& value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

    // The value before this object set it; nothing when it was not set.
    const std::optional<std::string>& Previous() const { return m_previous; }

private:
    std::string m_name;
    std::optional<std::string> m_previous;
};

}  // namespace testsupport

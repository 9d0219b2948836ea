#include "tests/support/environment.h"

#include <cstdlib>
#include <utility>

namespace testsupport {

ScopedVariable::ScopedVariable(std::string name, const std::string& value) : m_name(std::move(name)) {
    if (const char* previous = std::getenv(m_name.c_str()))
        m_previous = previous;
    ::setenv(m_name.c_str(), value.c_str(), 1);
}

ScopedVariable::~ScopedVariable() {
    if (m_previous)
        ::setenv(m_name.c_str(), m_previous->c_str(), 1);
    else
        ::unsetenv(m_name.c_str());
}

}  // namespace testsupport

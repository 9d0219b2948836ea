#include "tests/support/environment.h"

#include <cstdlib>
#include <utility>

namespace testsupport {

// Through the C runtime, whose copy getenv reads; it passes the change on to
// the process environment that started programs inherit.
ScopedVariable::ScopedVariable(std::string name, const std::string& value) : m_name(std::move(name)) {
    if (const char* previous = std::getenv(m_name.c_str()))
        m_previous = previous;
    ::_putenv_s(m_name.c_str(), value.c_str());
}

ScopedVariable::~ScopedVariable() {
    // An empty value removes the variable here.
    ::_putenv_s(m_name.c_str(), m_previous ? m_previous->c_str() : "");
}

}  // namespace testsupport

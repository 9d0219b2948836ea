// The one way the publisher refuses: a message that names the input at fault.
#pragma once

#include <stdexcept>

class PublishError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

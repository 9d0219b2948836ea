// Options of a server's listening socket: its port is free again at once
// after the server ends, but never shared with a server still running, and
// small answers leave without waiting for the client's acknowledgements.
#pragma once

#include <cstdint>

namespace platform {

void SetListeningSocketOptions(std::intptr_t socket);

}  // namespace platform

// Options of a server's listening socket: its port is free again at once
// after the server ends, but never shared with a server still running, and
// small answers leave without waiting for the client's acknowledgements.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

void SetListeningSocketOptions(std::intptr_t socket);

// Why a server cannot listen on host:port, as the system says it: server
// libraries only report that they failed.
std::string BindProblem(const std::string& host, int port);

}  // namespace platform

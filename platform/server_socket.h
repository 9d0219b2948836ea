// Options of a server's listening socket: its port is free again at once
// after the server ends, but never shared with a server still running, and
// small answers leave without waiting for the client's acknowledgements.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

void SetListeningSocketOptions(std::intptr_t socket);

// Lets a bound, listening socket queue as many connections as the system
// allows. A server library's queue of a few drops a crowd of connections
// arriving at once, and each dropped one is retried only after a second or
// more. Where a second listen leaves the queue as it was (Windows), nothing
// changes.
void WidenListenQueue(std::intptr_t socket);

// Why a server cannot listen on host:port, as the system says it: server
// libraries only report that they failed.
std::string BindProblem(const std::string& host, int port);

}  // namespace platform

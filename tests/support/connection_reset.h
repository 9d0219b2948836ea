// Ends a connection of this process's loopback server with a reset (TCP RST)
// instead of a clean close, as a broken network or a crashed server does.
// The interface is the same everywhere; each system has an implementation
// file of its own (connection_reset_posix.cpp).
#pragma once

namespace testsupport {

// Resets the connection of the server's socket with these local and peer
// ports at once. The server's own later close still works, on a stand-in
// descriptor. False when no such socket is open, or where the system
// cannot reset it (see connection_reset_win32.cpp).
bool ResetConnection(int localPort, int peerPort);

}  // namespace testsupport

// Windows has no way to put another socket in place of the server's while
// the server still holds it, and an immediate linger alone still ends in the
// server's clean shutdown. So the reset fault is not offered here: the
// connection ends cleanly, cut short, and the caller is told so. The fault
// matrix, which needs real resets, runs on Linux.
#include "tests/support/connection_reset.h"

namespace testsupport {

bool ResetConnection(int, int) {
    return false;
}

}  // namespace testsupport

// Internal to the stand-in: how CreateProcessW hands the exact command line
// to a started program, whose GetCommandLineW then returns it unchanged.
#pragma once

namespace platform {

// Set afresh for every started program; trusted only when splitting it gives
// the program's own argv, so a stale value inherited some other way is ignored.
inline constexpr char kCommandLineVariable[] = "QM_PLATFORM_COMMAND_LINE";

}  // namespace platform

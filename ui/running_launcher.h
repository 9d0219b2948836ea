// The main window of a launcher already running on this desktop, for a
// launcher that found the data folder taken: the player sees the one at work
// come to the front instead of a second one.
#pragma once

// True when that window was found and brought to the front. Where windows
// are not shared between programs (the Linux window stand-in) it is never
// found.
bool BringRunningLauncherToFront();

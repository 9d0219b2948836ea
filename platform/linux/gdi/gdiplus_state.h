// Internal to the stand-in: whether GDI+ has been started.
#pragma once

namespace platform {

bool GdiplusRunning();

}  // namespace platform

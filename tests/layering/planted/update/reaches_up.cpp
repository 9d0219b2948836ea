// Planted: a layer reaching up, a test of the system outside the platform.
#include "ui/kit/translucent_wnd.h"
#include "codec/path_key.h"
#ifdef _WIN32
#endif

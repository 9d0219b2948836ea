// Planted: one system's side of a library reaching into the other's, beside
// what it may include (its own shelf, a library below, the base).
#include "platform/win32/user32/window_records.h"
#include "platform/linux/user32/window_object.h"
#include "platform/linux/gdi/dib_section.h"
#include "platform/base/handle_table.h"

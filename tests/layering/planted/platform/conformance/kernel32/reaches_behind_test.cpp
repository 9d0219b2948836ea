// Planted: a conformance test reaching behind the interface into the stand-in.
#include "platform/linux/kernel32/kernel_object.h"

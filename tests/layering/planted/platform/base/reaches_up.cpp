// Planted: the base under the libraries reaching up into the framework.
#include "platform/framework/mfc/framework_loop.h"
#include "platform/command_line.h"

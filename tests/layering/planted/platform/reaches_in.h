// Planted: the interface reaching into what implements it.
#include "platform/base/handle_table.h"
#include "platform/win_types.h"

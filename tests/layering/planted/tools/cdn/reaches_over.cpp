// Planted: the publisher reaching into the protocol.
#include "update/manifest.h"
#include "codec/md5_functions.h"

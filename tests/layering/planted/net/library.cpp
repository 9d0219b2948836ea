// Planted: a transfer library outside the platform, test support in a program.
#include <curl/curl.h>
#include "tests/support/temp_dir.h"

// Everything of the Windows platform the launcher core and update code use.
#pragma once

#include "platform/advapi_md5.h"
#include "platform/crt.h"
#include "platform/kernel32.h"
#include "platform/shell32.h"
#include "platform/win_types.h"

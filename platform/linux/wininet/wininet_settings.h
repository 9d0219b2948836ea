// Internal to the stand-in: what a request handle asks for, in the terms of
// a curl transfer (URL, headers, proxy, checks).
#pragma once

#include "platform/linux/wininet/wininet_handles.h"
#include "platform/linux/wininet/wininet_transfer.h"

#include <string_view>

namespace platform {

// Host names, IPv4 and IPv6 literals (bracketed or not) and international
// names; nothing that would change the meaning of the URL built from it.
bool IsValidHost(std::string_view host);

TransferSettings BuildTransferSettings(const InternetRequest& request);

}  // namespace platform

// Internal to the browser control: what passes between a page's script and
// its host. The host's objects reach the page through a script installed at
// the start of every document, and the page's calls come back as script
// messages; the host reaches the page by running script with its values
// quoted.
#pragma once

#include "platform/oaidl.h"

#include <string>

namespace platform {

// The script message handler the page's calls arrive at.
inline constexpr char kMessageHandler[] = "quillmoorExternal";

// Without scroll bars the document cannot be scrolled either, as a page
// shown with scrolling off.
inline constexpr char kNoScrollSheet[] = "html { overflow: hidden !important; }";

// The document-start script: window.external is host object 0, and
// window.__quillmoorObject(n) makes a proxy for host object n.
std::string ExternalScript();

// The text as a JavaScript string literal.
std::string Quoted(const std::string& text);

// A page's text as the VT_BSTR value the host's methods take; VariantClear
// frees it.
VARIANT StringVariant(const std::string& text);

}  // namespace platform

#include "platform/linux/browser/page_script.h"

#include "platform/text.h"

namespace platform {

namespace {

// The page reaches host objects through proxies: any method name becomes a
// call, which the host resolves by name (without regard to case) and runs
// in the order the page made the calls. The arguments go as strings, as the
// host's methods take them.
constexpr char kExternalScript[] = R"js((() => {
  const handler = window.webkit.messageHandlers.%s;
  const ignored = new Set(['then', 'toJSON', 'valueOf', 'toString', 'constructor']);
  const make = (object) => new Proxy({}, {
    get(target, name) {
      if (typeof name !== 'string' || ignored.has(name)) return undefined;
      return (...args) => { handler.postMessage({object, name, args: args.map(String)}); };
    },
  });
  Object.defineProperty(window, '__quillmoorObject', {value: make});
  Object.defineProperty(window, 'external', {value: make(0), configurable: true});
})();)js";

}  // namespace

std::string ExternalScript() {
    std::string source = kExternalScript;
    source.replace(source.find("%s"), 2, kMessageHandler);
    return source;
}

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

VARIANT StringVariant(const std::string& text) {
    VARIANT value;
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(FromUtf8(text).c_str());
    return value;
}

}  // namespace platform

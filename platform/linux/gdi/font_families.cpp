// The families are looked up in fontconfig's list of installed fonts when a
// font is made; the first installed candidate wins.
#include "platform/linux/gdi/font_families.h"

#include "platform/text.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cwctype>
#include <memory>
#include <vector>

namespace {

constexpr const char* kSimplifiedSans = "Noto Sans CJK SC";
constexpr const char* kTraditionalSans = "Noto Sans CJK TC";

struct Alias {
    std::wstring_view windowsName;
    std::vector<const char*> candidates;  // in order of preference
    const char* fallback;
};

// Kai (brush) faces come from the AR PL packages when they are installed;
// the serif CJK face is the nearest look that fonts-noto-cjk provides.
const std::vector<Alias>& Aliases() {
    static const std::vector<Alias> aliases = [] {
        const std::vector<const char*> yaHei = {"Microsoft YaHei", kSimplifiedSans};
        const std::vector<const char*> jhengHei = {"Microsoft JhengHei", kTraditionalSans};
        const std::vector<const char*> kaiTi = {"KaiTi", "AR PL UKai CN", "AR PL KaitiM GB", "Noto Serif CJK SC"};
        const std::vector<const char*> dfKai = {"DFKai-SB", "AR PL UKai TW", "AR PL KaitiM Big5", "Noto Serif CJK TC"};
        return std::vector<Alias>{
            {L"\u5fae\u8f6f\u96c5\u9ed1", yaHei, kSimplifiedSans},  // 微软雅黑
            {L"Microsoft YaHei", yaHei, kSimplifiedSans},
            {L"\u5fae\u8edf\u6b63\u9ed1", jhengHei, kTraditionalSans},        // 微軟正黑
            {L"\u5fae\u8edf\u6b63\u9ed1\u9ad4", jhengHei, kTraditionalSans},  // 微軟正黑體
            {L"Microsoft JhengHei", jhengHei, kTraditionalSans},
            {L"\u6977\u4f53", kaiTi, kSimplifiedSans},  // 楷体
            {L"KaiTi", kaiTi, kSimplifiedSans},
            {L"\u6a19\u6977\u9ad4", dfKai, kTraditionalSans},  // 標楷體
            {L"DFKai-SB", dfKai, kTraditionalSans},
        };
    }();
    return aliases;
}

bool SameFamilyName(std::wstring_view a, std::wstring_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](wchar_t x, wchar_t y) { return std::towlower(x) == std::towlower(y); });
}

struct FontconfigRelease {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
    void operator()(FcObjectSet* objects) const { FcObjectSetDestroy(objects); }
    void operator()(FcFontSet* fonts) const { FcFontSetDestroy(fonts); }
};

bool Installed(const std::string& family) {
    std::unique_ptr<FcPattern, FontconfigRelease> pattern(FcPatternCreate());
    std::unique_ptr<FcObjectSet, FontconfigRelease> objects(FcObjectSetBuild(FC_FAMILY, nullptr));
    if (!pattern || !objects ||
        !FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str())))
        return false;
    std::unique_ptr<FcFontSet, FontconfigRelease> fonts(FcFontList(nullptr, pattern.get(), objects.get()));
    return fonts && fonts->nfont > 0;
}

// Pango splits family lists at commas.
std::string WithoutCommas(std::string name) {
    std::replace(name.begin(), name.end(), ',', ' ');
    return name;
}

}  // namespace

namespace platform {

std::string PangoFamiliesFor(std::wstring_view windowsFamily) {
    const std::string name = WithoutCommas(ToUtf8(windowsFamily));
    const auto& aliases = Aliases();
    auto alias = std::find_if(aliases.begin(), aliases.end(),
                              [&](const Alias& a) { return SameFamilyName(a.windowsName, windowsFamily); });
    if (alias == aliases.end())
        return name.empty() ? kSimplifiedSans : name + "," + kSimplifiedSans;
    // The Windows face itself, under its own name, beats any stand-in.
    if (Installed(name))
        return name + "," + alias->fallback;
    for (const char* candidate : alias->candidates) {
        if (Installed(candidate))
            return std::string(candidate) + "," + alias->fallback;
    }
    return alias->fallback;
}

}  // namespace platform

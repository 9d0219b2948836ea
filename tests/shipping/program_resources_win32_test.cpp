// The resources of the shipped programs, read back the way Windows reads
// them: the version information Explorer shows, the manifest the loader
// applies, and the icon the shell draws.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

struct Program {
    const char* path;
    const wchar_t* fileName;
    bool hasIcon;
};

const Program kPrograms[] = {
    {QM_LAUNCHER_PROGRAM, L"Launcher.exe", true},
    {QM_HEADLESS_PROGRAM, L"quillmoor-headless.exe", true},
    {QM_CDN_PROGRAM, L"quillmoor-cdn.exe", false},
};

std::wstring Wide(const char* utf8) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring text(length > 0 ? length - 1 : 0, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, text.data(), length);
    return text;
}

std::string Narrow(const std::wstring& text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(length > 0 ? length - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), length, nullptr, nullptr);
    return out;
}

std::wstring VersionText() {
    return std::to_wstring(QM_VERSION_MAJOR) + L"." + std::to_wstring(QM_VERSION_MINOR) + L"." +
           std::to_wstring(QM_VERSION_PATCH) + L"." + std::to_wstring(QM_VERSION_TWEAK);
}

class VersionBlock {
public:
    explicit VersionBlock(const std::wstring& path) {
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
        if (size == 0)
            return;
        m_bytes.resize(size);
        if (!GetFileVersionInfoW(path.c_str(), 0, size, m_bytes.data()))
            m_bytes.clear();
    }
    bool Loaded() const { return !m_bytes.empty(); }

    const VS_FIXEDFILEINFO* Fixed() const {
        void* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(m_bytes.data(), L"\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO))
            return nullptr;
        return static_cast<const VS_FIXEDFILEINFO*>(value);
    }

    // A string of the US English, UTF-16 table; "(none)" when it is missing.
    std::wstring String(const wchar_t* name) const {
        const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        void* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(m_bytes.data(), key.c_str(), &value, &length) || !value)
            return L"(none)";
        return static_cast<const wchar_t*>(value);
    }

    std::vector<DWORD> Translations() const {
        void* value = nullptr;
        UINT length = 0;
        std::vector<DWORD> out;
        if (VerQueryValueW(m_bytes.data(), L"\\VarFileInfo\\Translation", &value, &length)) {
            const auto* words = static_cast<const WORD*>(value);
            for (UINT i = 0; i + 1 < length / sizeof(WORD); i += 2)
                out.push_back(MAKELONG(words[i + 1], words[i]));
        }
        return out;
    }

private:
    std::vector<unsigned char> m_bytes;
};

struct ModuleCloser {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
using ModulePtr = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleCloser>;

// The program's resources, without running it.
ModulePtr LoadResources(const std::wstring& path) {
    return ModulePtr(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
}

std::string ResourceBytes(HMODULE module, LPCWSTR name, LPCWSTR type) {
    HRSRC found = FindResourceW(module, name, type);
    if (!found)
        return {};
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    return data ? std::string(static_cast<const char*>(data), SizeofResource(module, found)) : std::string();
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST(ProgramResources, VersionInformationNamesTheProductTheCompanyAndOneVersion) {
    for (const Program& program : kPrograms) {
        SCOPED_TRACE(program.path);
        const VersionBlock version(Wide(program.path));
        ASSERT_TRUE(version.Loaded()) << GetLastError();
        const VS_FIXEDFILEINFO* fixed = version.Fixed();
        ASSERT_NE(fixed, nullptr);
        EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
        EXPECT_EQ(fixed->dwFileVersionMS, DWORD(MAKELONG(QM_VERSION_MINOR, QM_VERSION_MAJOR)));
        EXPECT_EQ(fixed->dwFileVersionLS, DWORD(MAKELONG(QM_VERSION_TWEAK, QM_VERSION_PATCH)));
        EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
        EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
        EXPECT_EQ(fixed->dwFileType, DWORD(VFT_APP));
        EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u) << "neither debug nor pre-release";

        EXPECT_EQ(Narrow(version.String(L"ProductName")), QM_PRODUCT_NAME);
        EXPECT_EQ(Narrow(version.String(L"CompanyName")), QM_COMPANY_NAME);
        EXPECT_EQ(version.String(L"FileVersion"), VersionText());
        EXPECT_EQ(version.String(L"ProductVersion"), VersionText());
        EXPECT_EQ(version.String(L"OriginalFilename"), program.fileName);
        EXPECT_NE(version.String(L"FileDescription"), L"(none)");
        EXPECT_EQ(version.Translations(), (std::vector<DWORD>{MAKELONG(1200, 0x0409)}));
    }
}

TEST(ProgramResources, ManifestRunsAsInvokerOnWindows7To11WithCommonControls6AndNoDpiAwareness) {
    const char* kRequired[] = {
        R"(<requestedExecutionLevel level="asInvoker" uiAccess="false"/>)",
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10 and 11
        R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")",
        R"(publicKeyToken="6595b64144ccf1df")",
        ">false</dpiAware>",
        ">unaware</dpiAwareness>",
    };
    for (const Program& program : kPrograms) {
        SCOPED_TRACE(program.path);
        const ModulePtr module = LoadResources(Wide(program.path));
        ASSERT_TRUE(module) << GetLastError();
        const std::string manifest = ResourceBytes(module.get(), MAKEINTRESOURCEW(1), RT_MANIFEST);
        ASSERT_FALSE(manifest.empty()) << "no manifest as resource 1";
        std::string flat;  // the attribute spacing of the source, on one line
        for (char c : manifest)
            flat += (c == '\n' || c == '\r') ? ' ' : c;
        while (flat.find("  ") != std::string::npos)
            flat.replace(flat.find("  "), 2, " ");
        for (const char* required : kRequired)
            EXPECT_NE(flat.find(required), std::string::npos) << required;
        // The programs keep the system's code page; only the tests ask for UTF-8.
        EXPECT_EQ(flat.find("activeCodePage"), std::string::npos);
    }
}

TEST(ProgramResources, LauncherIconHoldsEverySizeFrom16To256AndLoads) {
    for (const Program& program : kPrograms) {
        SCOPED_TRACE(program.path);
        const ModulePtr module = LoadResources(Wide(program.path));
        ASSERT_TRUE(module) << GetLastError();
        std::string group = ResourceBytes(module.get(), MAKEINTRESOURCEW(1), RT_GROUP_ICON);
        if (!program.hasIcon) {
            EXPECT_TRUE(group.empty());
            continue;
        }
        ASSERT_GE(group.size(), 6u);
        WORD count = 0;
        std::memcpy(&count, group.data() + 4, sizeof count);
        ASSERT_EQ(group.size(), 6 + count * sizeof(GroupIconEntry));
        std::set<int> sizes;
        for (WORD i = 0; i < count; ++i) {
            GroupIconEntry entry;
            std::memcpy(&entry, group.data() + 6 + i * sizeof entry, sizeof entry);
            const int size = entry.width == 0 ? 256 : entry.width;
            sizes.insert(size);
            EXPECT_EQ(entry.bitCount, 32) << size;
            const std::string image = ResourceBytes(module.get(), MAKEINTRESOURCEW(entry.id), RT_ICON);
            EXPECT_EQ(image.size(), entry.bytes) << size;
            EXPECT_EQ(image.substr(0, 8), "\x89PNG\r\n\x1a\n") << size;
        }
        EXPECT_EQ(sizes, (std::set<int>{16, 20, 24, 32, 40, 48, 64, 128, 256}));
        // The system picks and makes icons from the group, as the shell does.
        for (int size : {16, 32, 48, 256}) {
            auto* directory = reinterpret_cast<BYTE*>(group.data());
            const int id = LookupIconIdFromDirectoryEx(directory, TRUE, size, size, LR_DEFAULTCOLOR);
            ASSERT_NE(id, 0) << size;
            std::string image = ResourceBytes(module.get(), MAKEINTRESOURCEW(id), RT_ICON);
            HICON icon = CreateIconFromResourceEx(reinterpret_cast<BYTE*>(image.data()), DWORD(image.size()), TRUE,
                                                  0x00030000, size, size, LR_DEFAULTCOLOR);
            ASSERT_NE(icon, nullptr) << size;
            ICONINFO info{};
            ASSERT_TRUE(GetIconInfo(icon, &info)) << size;
            BITMAP bitmap{};
            GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
            EXPECT_EQ(bitmap.bmWidth, size);
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
            DestroyIcon(icon);
        }
    }
}

}  // namespace

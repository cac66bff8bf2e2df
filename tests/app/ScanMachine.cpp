#include "ScanMachine.h"

#include "platform/Text.h"

#include <fstream>
#include <random>

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/HostTarget.h"
#include "platform/MemoryRegistry.h"
#include "platform/Target.h"
#endif

namespace quelvo::app::test {

namespace {

std::filesystem::path MakeRoot()
{
    std::random_device random;
    const auto root = std::filesystem::temp_directory_path() / ("quelvo-form-" + std::to_string(random()));
    std::filesystem::create_directories(root / "app");
    return root;
}

void WriteFile(const std::filesystem::path& file, std::string_view text)
{
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace

#ifdef _WIN32

namespace {

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

void SetString(const std::u16string& path, const std::u16string& name, const std::u16string& text)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, Wide(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    const std::wstring value = Wide(text);
    RegSetValueExW(key, Wide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

}  // namespace

struct ScanMachine::Impl {};

ScanMachine::ScanMachine() : m_root(MakeRoot())
{
    // A throw-away prefix: the tests' associations are the only ones.
    HKEY classes = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes", 0, KEY_ALL_ACCESS, &classes) == ERROR_SUCCESS) {
        for (DWORD i = 0;;) {
            wchar_t name[256];
            DWORD length = 256;
            if (RegEnumKeyExW(classes, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            if (name[0] == L'.')
                RegDeleteTreeW(classes, name);
            else
                ++i;
        }
        RegCloseKey(classes);
    }
}

ScanMachine::~ScanMachine()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_root, ignored);
    std::filesystem::remove_all("C:\\Apps", ignored);
}

void ScanMachine::Program(const std::u16string& extension, const std::u16string& exe, bool present)
{
    const std::u16string progId = extension.substr(1) + u"file";
    SetString(Classes(extension), u"", progId);
    SetString(Classes(progId) + u"\\Shell\\Open\\Command", u"", u"\"C:\\Apps\\" + exe + u"\" \"%1\"");
    if (present)
        WriteFile(std::filesystem::path(u"C:\\Apps\\" + exe), "MZ");
}

void ScanMachine::Broken(const std::u16string& extension) { SetString(Classes(extension), u"", u""); }

void ScanMachine::RemoveExtension(const std::u16string& extension)
{
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, Wide(Classes(extension)).c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, Wide(Classes(extension)).c_str());
}

bool ScanMachine::HasKey(const std::u16string& path) const
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool ScanMachine::CanLockKeys() const { return false; }
void ScanMachine::LockKey(const std::u16string&) {}

#else

struct ScanMachine::Impl {
    explicit Impl(const std::filesystem::path& driveC)
        : target(registry, {{u"SystemRoot", u"C:\\Windows"}, {u"ProgramFiles", u"C:\\Program Files"}},
                 {{u'C', driveC}}),
          active(target)
    {
    }
    platform::MemoryRegistry registry;
    platform::HostTarget target;
    platform::ScopedActiveTarget active;
};

ScanMachine::ScanMachine() : m_root(MakeRoot())
{
    std::filesystem::create_directories(m_root / "drive_c");
    m_impl = std::make_unique<Impl>(m_root / "drive_c");
}

ScanMachine::~ScanMachine()
{
    m_impl.reset();
    std::error_code ignored;
    std::filesystem::remove_all(m_root, ignored);
}

void ScanMachine::Program(const std::u16string& extension, const std::u16string& exe, bool present)
{
    const std::u16string progId = extension.substr(1) + u"file";
    m_impl->registry.SetString(Classes(extension), u"", progId);
    m_impl->registry.SetString(Classes(progId) + u"\\Shell\\Open\\Command", u"", u"\"C:\\Apps\\" + exe + u"\" \"%1\"");
    if (present)
        WriteFile(m_root / "drive_c" / "Apps" / std::filesystem::path(exe), "MZ");
}

void ScanMachine::Broken(const std::u16string& extension) { m_impl->registry.SetString(Classes(extension), u"", u""); }

void ScanMachine::RemoveExtension(const std::u16string& extension)
{
    m_impl->registry.DeleteKey(platform::HKEY_LOCAL_MACHINE, Classes(extension));
}

bool ScanMachine::HasKey(const std::u16string& path) const { return m_impl->registry.HasKey(path); }

bool ScanMachine::CanLockKeys() const { return true; }
void ScanMachine::LockKey(const std::u16string& path) { m_impl->registry.SetRefusesFullAccess(path, true); }

#endif

bool ScanMachine::HasExtension(const std::u16string& extension) const { return HasKey(Classes(extension)); }

void ScanMachine::FillThreeClasses()
{
    Program(u".mp3", u"player.exe", true);
    Program(u".avi", u"movie.exe", false);
    Program(u".wav", u"wave.exe", false);
    Program(u".xyz", u"xyz.exe", false);
    Broken(u".bad");
    Broken(u".zip");
    Library(kTestLibrary);
}

void ScanMachine::Library(std::string_view text) const { WriteFile(AppFolder() / "FileType_lib.txt", text); }

std::u16string ScanMachine::AppPath() const
{
    std::u16string path = AppFolder().u16string();
    path += static_cast<char16_t>(std::filesystem::path::preferred_separator);
    return path;
}

std::u16string LinkTarget(const std::u16string& row, int n)
{
    std::size_t at = std::u16string::npos;
    for (int i = 0; i <= n; ++i) {
        at = row.find(u"href=\"", at == std::u16string::npos ? 0 : at + 1);
        if (at == std::u16string::npos)
            return {};
    }
    const std::size_t start = at + 6;
    return row.substr(start, row.find(u'"', start) - start);
}

}  // namespace quelvo::app::test

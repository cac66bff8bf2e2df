#include "platform/DataDir.h"

#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#endif

namespace quelvo::platform {

namespace {

namespace fs = std::filesystem;

bool IsSeparator(char16_t c) { return c == u'/' || c == u'\\'; }

bool HasFile(const std::u16string& dir, std::u16string_view fileName)
{
    std::error_code ec;
    return fs::is_regular_file(fs::path(dir + std::u16string(fileName)), ec);
}

}  // namespace

std::u16string func_DataDirFor(std::u16string_view appDir, std::u16string_view fileName)
{
    std::u16string dir(appDir);
    // Keep the separator style the caller uses.
    const char16_t separator = dir.find(u'/') == std::u16string::npos && dir.find(u'\\') != std::u16string::npos
        ? u'\\'
        : u'/';
    if (!dir.empty() && !IsSeparator(dir.back()))
        dir += separator;
    if (HasFile(dir, fileName))
        return dir;

    // <appDir>/../share/quelvo/, written without the "..", unless the
    // folder's own name is "." or ".." (or there is none), where only the
    // ".." form means the same folder.
    std::u16string share;
    std::size_t end = dir.size();
    while (end > 0 && IsSeparator(dir[end - 1]))
        --end;
    std::size_t start = end;
    while (start > 0 && !IsSeparator(dir[start - 1]))
        --start;
    const std::u16string_view name = std::u16string_view(dir).substr(start, end - start);
    if (name.empty() || name == u"." || name == u".." || (name.size() == 2 && name[1] == u':'))
        share = dir + u".." + separator;
    else
        share = dir.substr(0, start);
    share += u"share";
    share += separator;
    share += u"quelvo";
    share += separator;
    if (HasFile(share, fileName))
        return share;
    return dir;
}

fs::path func_ProgramDir(const char* argv0)
{
    std::error_code ec;
#ifdef _WIN32
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length > 0 && length < path.size()) {
        path.resize(length);
        return fs::path(path).parent_path();
    }
#else
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec)
        return self.parent_path();
#endif
    return fs::absolute(argv0 ? argv0 : "", ec).parent_path();
}

}  // namespace quelvo::platform

#include "platform/win32/NativeTarget.h"

#include "platform/win32/WideText.h"

#include "platform/win32/WindowsApi.h"

#include <algorithm>
#include <vector>

namespace quelvo::platform::win32 {

namespace {

// Both Windows calls report the size they need when the buffer is too small
// and leave the buffer's content undefined then. They are therefore run on a
// private buffer grown until the whole result fits, and the caller gets a
// copy cut to its capacity: nothing is ever written past the caller's buffer.
template <typename Call>
std::vector<wchar_t> CallGrowing(Call call)
{
    std::vector<wchar_t> result(MAX_PATH + 1, L'\0');
    for (;;) {
        const DWORD needed = call(result.data(), static_cast<DWORD>(result.size()));
        if (needed == 0)
            return {};
        if (needed <= result.size()) {
            // Success: the text and its NUL are in the buffer.
            const auto end = std::find(result.begin(), result.end(), L'\0');
            result.erase(end, result.end());
            return result;
        }
        result.assign(needed, L'\0');
    }
}

// Copies text into buffer, cut so that it and its NUL fit; returns the units
// copied without the NUL.
std::size_t CopyCut(const std::vector<wchar_t>& text, char16_t* buffer, std::size_t capacity)
{
    if (!buffer || capacity == 0)
        return 0;
    const std::size_t count = std::min(text.size(), capacity - 1);
    std::copy_n(text.begin(), count, buffer);
    buffer[count] = u'\0';
    return count;
}

}  // namespace

RegistryStore& NativeTarget::Registry()
{
    return m_registry;
}

std::size_t NativeTarget::ExpandEnvironmentStrings(std::u16string_view source, char16_t* buffer,
                                                   std::size_t capacity)
{
    const std::wstring wideSource = ToWide(source);
    bool failed = false;
    const std::vector<wchar_t> expanded = CallGrowing([&](wchar_t* out, DWORD size) {
        const DWORD needed = ExpandEnvironmentStringsW(wideSource.c_str(), out, size);
        failed = needed == 0;
        return needed;
    });
    if (failed || !buffer || capacity == 0)
        return 0;
    return CopyCut(expanded, buffer, capacity) + 1;
}

std::size_t NativeTarget::GetLongPathName(std::u16string_view path, char16_t* buffer,
                                          std::size_t capacity)
{
    const std::wstring widePath = ToWide(path);
    // GetLongPathNameW returns the length without the NUL on success and the
    // size with the NUL when the buffer is too small; +1 on success folds both
    // into "units needed".
    const std::vector<wchar_t> longPath = CallGrowing([&](wchar_t* out, DWORD size) -> DWORD {
        const DWORD result = GetLongPathNameW(widePath.c_str(), out, size);
        if (result == 0)
            return 0;
        return result < size ? result + 1 : result;
    });
    if (longPath.empty())
        return 0;
    return CopyCut(longPath, buffer, capacity);
}

bool NativeTarget::FileExists(std::u16string_view path)
{
    const std::wstring widePath = ToWide(path);
    const DWORD attributes = GetFileAttributesW(widePath.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::u16string NativeTarget::Description() const
{
    return u"this computer";
}

NativeTarget& NativeTarget::Instance()
{
    static NativeTarget instance;
    return instance;
}

void PauseMilliseconds(unsigned milliseconds)
{
    Sleep(milliseconds);
}

}  // namespace quelvo::platform::win32

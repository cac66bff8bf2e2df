#pragma once

// Scratch keys in the real registry (Wine's, when the tests run under Wine):
// created with the Windows API directly, so that the code under test is not
// also the code that sets up its input, and removed before and after use.

#include "platform/win32/WindowsApi.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quelvo::test {

// Every key under HKEY_LOCAL_MACHINE; paths use "\".
class ScratchKeys {
public:
    // The tree under each root is removed now and again at destruction.
    explicit ScratchKeys(std::vector<std::wstring> roots);
    ~ScratchKeys();
    ScratchKeys(const ScratchKeys&) = delete;
    ScratchKeys& operator=(const ScratchKeys&) = delete;

    static void Create(const std::wstring& path);
    static void SetString(const std::wstring& path, const std::wstring& name, const std::wstring& text);
    static void SetRaw(const std::wstring& path, const std::wstring& name, DWORD type,
                       const std::vector<std::uint8_t>& bytes);
    static bool Exists(const std::wstring& path);
    // A key that exists but does not open: a symbolic link to a missing key.
    static void CreateDanglingLink(const std::wstring& path);
    static void RemoveLink(const std::wstring& path);
    static void RemoveTree(const std::wstring& path);

private:
    std::vector<std::wstring> m_roots;
};

// Removes a dangling link when the scope ends, so that a failed assertion
// does not leave a key behind that no tree removal can open.
class LinkGuard {
public:
    explicit LinkGuard(std::wstring path) : m_path(std::move(path)) { ScratchKeys::CreateDanglingLink(m_path); }
    ~LinkGuard() { ScratchKeys::RemoveLink(m_path); }
    LinkGuard(const LinkGuard&) = delete;
    LinkGuard& operator=(const LinkGuard&) = delete;

private:
    std::wstring m_path;
};

inline std::u16string U16(const std::wstring& text)
{
    return std::u16string(text.begin(), text.end());
}

// "quelvotest<pid>": a name part, so that two test processes never share keys.
std::wstring UniqueSuffix();

}  // namespace quelvo::test

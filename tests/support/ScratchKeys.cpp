#include "tests/support/ScratchKeys.h"

#include <gtest/gtest.h>

#include <winternl.h>

extern "C" NTSTATUS NTAPI NtDeleteKey(HANDLE key);

namespace quelvo::test {

ScratchKeys::ScratchKeys(std::vector<std::wstring> roots) : m_roots(std::move(roots))
{
    for (const auto& root : m_roots)
        RemoveTree(root);
}

ScratchKeys::~ScratchKeys()
{
    for (const auto& root : m_roots)
        RemoveTree(root);
}

void ScratchKeys::Create(const std::wstring& path)
{
    HKEY key = nullptr;
    const LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                        KEY_ALL_ACCESS, nullptr, &key, nullptr);
    ASSERT_EQ(status, ERROR_SUCCESS) << "creating a scratch key";
    RegCloseKey(key);
}

void ScratchKeys::SetRaw(const std::wstring& path, const std::wstring& name, DWORD type,
                         const std::vector<std::uint8_t>& bytes)
{
    HKEY key = nullptr;
    LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr);
    ASSERT_EQ(status, ERROR_SUCCESS) << "creating a scratch key";
    status = RegSetValueExW(key, name.c_str(), 0, type, bytes.data(), static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
    ASSERT_EQ(status, ERROR_SUCCESS) << "setting a scratch value";
}

void ScratchKeys::SetString(const std::wstring& path, const std::wstring& name, const std::wstring& text)
{
    // With its NUL, as Windows stores REG_SZ.
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.c_str());
    SetRaw(path, name, REG_SZ, std::vector<std::uint8_t>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t)));
}

bool ScratchKeys::Exists(const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void ScratchKeys::CreateDanglingLink(const std::wstring& path)
{
    HKEY key = nullptr;
    LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                                  KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &key, nullptr);
    ASSERT_EQ(status, ERROR_SUCCESS) << "creating a link key";
    const std::wstring target = L"\\Registry\\Machine\\Software\\QuelvoMissing" + UniqueSuffix();
    status = RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target.c_str()),
                            static_cast<DWORD>(target.size() * sizeof(wchar_t)));
    RegCloseKey(key);
    ASSERT_EQ(status, ERROR_SUCCESS) << "pointing a link key nowhere";
}

void ScratchKeys::RemoveLink(const std::wstring& path)
{
    // The usual removal would follow the link; NtDeleteKey removes the link itself.
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), REG_OPTION_OPEN_LINK, DELETE | KEY_READ, &key) !=
        ERROR_SUCCESS)
        return;
    NtDeleteKey(key);
    RegCloseKey(key);
}

void ScratchKeys::RemoveTree(const std::wstring& path)
{
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, path.c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.c_str());
}

std::wstring UniqueSuffix()
{
    return L"quelvotest" + std::to_wstring(GetCurrentProcessId());
}

}  // namespace quelvo::test

#pragma once

// The registry store of the running Windows machine: each call goes straight
// to the matching advapi32 function, with the access mask passed through, so
// that a key refusing the requested rights fails to open exactly as Windows
// says. Handles are the HKEY values themselves.

#include "platform/RegistryStore.h"

namespace quelvo::platform::win32 {

class Win32Registry final : public RegistryStore {
public:
    RegStatus OpenKey(RegRoot root, std::u16string_view path, std::uint32_t access,
                      RegHandle* key) override;
    RegStatus QueryInfoKey(RegHandle key, std::uint32_t* subKeyCount,
                           std::uint32_t* maxSubKeyNameLength) override;
    RegStatus EnumKey(RegHandle key, std::uint32_t index, char16_t* name, std::uint32_t capacity,
                      std::uint32_t* length) override;
    RegStatus QueryValue(RegHandle key, std::u16string_view valueName, RegType* type,
                         std::uint8_t* data, std::uint32_t* size) override;
    RegStatus DeleteKey(RegRoot root, std::u16string_view path) override;
    RegStatus CloseKey(RegHandle key) override;
};

}  // namespace quelvo::platform::win32

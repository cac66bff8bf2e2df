#pragma once

// An in-memory registry store: the replacement store of tests and of a build
// with nothing else to check. Names compare without regard to case and keep
// the case they were created with; sub-keys enumerate in a stable,
// case-insensitive sorted order; values keep their type and raw bytes. A key
// can be marked as refusing full access, so that opening it with any mask
// that asks for write or delete rights fails with kAccessDenied.
//
// Thread safety: every call takes the store's lock, so a scan thread and the
// UI thread may use one store.

#include "platform/RegistryStore.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quelvo::platform {

class MemoryRegistry final : public RegistryStore {
public:
    MemoryRegistry();
    ~MemoryRegistry() override;

    // Set-up, for tests and for loading other formats. Paths are relative to
    // HKEY_LOCAL_MACHINE; missing parent keys are created.
    void CreateKey(std::u16string_view path);
    void SetValue(std::u16string_view keyPath, std::u16string_view valueName, RegType type,
                  std::vector<std::uint8_t> bytes);
    // A REG_SZ value with its terminating NUL, as Windows stores it.
    void SetString(std::u16string_view keyPath, std::u16string_view valueName, std::u16string_view text);
    void SetRefusesFullAccess(std::u16string_view keyPath, bool refuses);

    // Inspection, for tests: true when the key exists (ignores access marks).
    bool HasKey(std::u16string_view path) const;

    // RegistryStore
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
    // Why the last removal failed (a key refusing full access, one with
    // sub-keys); empty after a successful one. There is no file, so a
    // repair batch is the default one: removals act at once.
    std::u16string FailureReason() const override;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace quelvo::platform

#pragma once

// The running Windows machine as the target: its registry through advapi32,
// its process environment and its own file system. The default active target
// of the Windows build.

#include "platform/Target.h"
#include "platform/win32/Win32Registry.h"

namespace quelvo::platform::win32 {

class NativeTarget final : public Target {
public:
    RegistryStore& Registry() override;
    std::size_t ExpandEnvironmentStrings(std::u16string_view source, char16_t* buffer,
                                         std::size_t capacity) override;
    std::size_t GetLongPathName(std::u16string_view path, char16_t* buffer,
                                std::size_t capacity) override;
    bool FileExists(std::u16string_view path) override;
    std::u16string Description() const override;

    // The one instance, made the active target when the process starts.
    static NativeTarget& Instance();

private:
    Win32Registry m_registry;
};

// Pauses the calling thread for the given number of milliseconds (Sleep).
void PauseMilliseconds(unsigned milliseconds);

}  // namespace quelvo::platform::win32

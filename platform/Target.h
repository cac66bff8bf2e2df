#pragma once

// The machine being checked: its registry, its environment and its drives.
// On Windows that is the running machine itself; elsewhere a Wine prefix, an
// offline Windows installation, or (in tests) an in-memory store with a
// temporary folder as drive C:.
//
// The registry layer, the command path extraction and the file test reach
// the target through ActiveTarget(), as the Windows calls they stand in for
// reach the process's own machine. The active target is set once, before any
// scan thread starts, and outlives every call made through it.

#include "platform/RegistryStore.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace quelvo::platform {

class Target {
public:
    virtual ~Target() = default;

    virtual RegistryStore& Registry() = 0;

    // ExpandEnvironmentStringsW: replaces each %name% by the variable's value,
    // names matched without regard to case, undefined ones left as they are.
    // Writes at most capacity units including a NUL (a longer result is cut)
    // and returns the units written including the NUL, 0 on failure.
    virtual std::size_t ExpandEnvironmentStrings(std::u16string_view source, char16_t* buffer,
                                                 std::size_t capacity) = 0;

    // GetLongPathNameW: the path with each short (8.3) component replaced by
    // its long name. Fails (returns 0, writes nothing) when the path does not
    // exist. Writes at most capacity units including a NUL and returns the
    // units written without the NUL.
    virtual std::size_t GetLongPathName(std::u16string_view path, char16_t* buffer,
                                        std::size_t capacity) = 0;

    // True only for an existing file, never for a directory.
    virtual bool FileExists(std::u16string_view path) = 0;

    // What the user is told this target is ("Wine prefix /root/.wine").
    virtual std::u16string Description() const = 0;
};

// The target every registry, path and file call goes to: the one last set,
// or an empty in-memory target when none is set.
Target& ActiveTarget();
void SetActiveTarget(Target* target);

// Sets the active target for a scope (tests) and restores the previous one.
class ScopedActiveTarget {
public:
    explicit ScopedActiveTarget(Target& target);
    ~ScopedActiveTarget();
    ScopedActiveTarget(const ScopedActiveTarget&) = delete;
    ScopedActiveTarget& operator=(const ScopedActiveTarget&) = delete;

private:
    Target* m_previous;
};

}  // namespace quelvo::platform

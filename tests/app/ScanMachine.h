#pragma once

// A machine for the window's scan tests: associations added to the registry
// the program checks, some programs present and others missing, and a
// program folder holding the file type library. On Linux that is an
// in-memory registry with a temporary folder as drive C:, active for the
// machine's lifetime; on Windows (under Wine, in a throw-away prefix) the
// machine's own registry, whose extension keys are all removed first.

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace quelvo::app::test {

// The library of the tests: named groups, an "Unknown" group, and
// extensions the scans never meet.
inline constexpr std::string_view kTestLibrary =
    "==Audio==\nmp3\nwav\n==Video==\navi\n==Archive==\nzip\n==Unknown==\nbad\n";

class ScanMachine {
public:
    ScanMachine();
    ~ScanMachine();
    ScanMachine(const ScanMachine&) = delete;
    ScanMachine& operator=(const ScanMachine&) = delete;

    // An extension whose open command names C:\Apps\<exe>; the program file
    // exists only when present is true.
    void Program(const std::u16string& extension, const std::u16string& exe, bool present);
    // An extension naming no file type, without sub-keys: a registry problem.
    void Broken(const std::u16string& extension);
    void RemoveExtension(const std::u16string& extension);
    bool HasExtension(const std::u16string& extension) const;
    bool HasKey(const std::u16string& path) const;

    // Whether a key can be made to refuse its removal (not under Wine, which
    // ignores registry security), and doing so.
    bool CanLockKeys() const;
    void LockKey(const std::u16string& path);

    // All three classes: .mp3 valid (Audio); .avi (Video), .wav (Audio) and
    // .xyz (not in the library) need an application; .bad ("Unknown") and
    // .zip (Archive) are broken. Writes the test library too.
    void FillThreeClasses();

    // Writes the file type library into the program folder.
    void Library(std::string_view text) const;
    // The program folder, ending in a separator, as the window keeps it.
    std::u16string AppPath() const;
    std::filesystem::path AppFolder() const { return m_root / "app"; }

    static std::u16string Classes(const std::u16string& name) { return u"SOFTWARE\\Classes\\" + name; }

private:
    struct Impl;
    std::filesystem::path m_root;
    std::unique_ptr<Impl> m_impl;
};

// The link target of a report row's n-th link.
std::u16string LinkTarget(const std::u16string& row, int n = 0);

}  // namespace quelvo::app::test

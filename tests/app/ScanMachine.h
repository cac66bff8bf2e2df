#pragma once

// A machine for the window's scan tests: an in-memory registry, a temporary
// folder as drive C: with some programs present and others missing, and a
// program folder holding the file type library. Active for its lifetime.

#include "platform/HostTarget.h"
#include "platform/MemoryRegistry.h"
#include "platform/Target.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <filesystem>
#include <string>

namespace quelvo::app::test {

// The library of the tests: named groups, an "Unknown" group, and
// extensions the scans never meet.
inline const QByteArray kTestLibrary = "==Audio==\nmp3\nwav\n==Video==\navi\n==Archive==\nzip\n==Unknown==\nbad\n";

class ScanMachine {
public:
    ScanMachine()
        : m_driveC(MakeFolder(QStringLiteral("drive_c"))),
          m_target(registry, {{u"SystemRoot", u"C:\\Windows"}, {u"ProgramFiles", u"C:\\Program Files"}},
                   {{u'C', m_driveC}}),
          m_active(m_target)
    {
        MakeFolder(QStringLiteral("app"));
    }

    // An extension whose open command names C:\Apps\<exe>; the program file
    // exists only when present is true.
    void Program(const std::u16string& extension, const std::u16string& exe, bool present)
    {
        const std::u16string progId = extension.substr(1) + u"file";
        registry.SetString(Classes(extension), u"", progId);
        registry.SetString(Classes(progId) + u"\\Shell\\Open\\Command", u"",
                           u"\"C:\\Apps\\" + exe + u"\" \"%1\"");
        if (present) {
            std::filesystem::create_directories(m_driveC / "Apps");
            QFile file(QString::fromStdU16String((m_driveC / "Apps" / exe).u16string()));
            file.open(QIODevice::WriteOnly);
            file.write("MZ");
        }
    }

    // An extension naming no file type, without sub-keys: a registry problem.
    void Broken(const std::u16string& extension) { registry.SetString(Classes(extension), u"", u""); }

    // All three classes: .mp3 valid (Audio); .avi (Video), .wav (Audio) and
    // .xyz (not in the library) need an application; .bad ("Unknown") and
    // .zip (Archive) are broken. Writes the test library too.
    void FillThreeClasses()
    {
        Program(u".mp3", u"player.exe", true);
        Program(u".avi", u"movie.exe", false);
        Program(u".wav", u"wave.exe", false);
        Program(u".xyz", u"xyz.exe", false);
        Broken(u".bad");
        Broken(u".zip");
        Library(kTestLibrary);
    }

    bool HasExtension(const std::u16string& extension) const { return registry.HasKey(Classes(extension)); }

    // Writes the file type library into the program folder.
    void Library(const QByteArray& text) const
    {
        QFile file(AppPath() + QStringLiteral("FileType_lib.txt"));
        file.open(QIODevice::WriteOnly);
        file.write(text);
    }

    // The program folder, ending in "/", as the window keeps it.
    QString AppPath() const { return m_root.path() + QStringLiteral("/app/"); }

    static std::u16string Classes(const std::u16string& name) { return u"SOFTWARE\\Classes\\" + name; }

    platform::MemoryRegistry registry;

private:
    std::filesystem::path MakeFolder(const QString& name)
    {
        QDir(m_root.path()).mkpath(name);
        return std::filesystem::path((m_root.path() + u'/' + name).toStdU16String());
    }

    QTemporaryDir m_root;
    std::filesystem::path m_driveC;
    platform::HostTarget m_target;
    platform::ScopedActiveTarget m_active;
};

// The link target of a report row's n-th link.
inline QString LinkTarget(const QString& row, int n = 0)
{
    qsizetype at = -1;
    for (int i = 0; i <= n; ++i) {
        at = row.indexOf(QStringLiteral("href=\""), at + 1);
        if (at < 0)
            return {};
    }
    const qsizetype start = at + 6;
    return row.mid(start, row.indexOf(u'"', start) - start);
}

}  // namespace quelvo::app::test

// libFuzzer entry for what Quelvo reads of a desktop user's Wine traces: the
// same bytes as a desktop entry, a mimeapps.list, a user.reg and a desktop
// backup. Whatever the bytes:
// - a lenient read of the key file gives back every byte;
// - an entry taken as Wine's and unchanged is exactly Wine's text for its
//   values, and its Exec splits again the same;
// - after the stale ids are taken out of a mimeapps.list none is left to
//   take, and putting them back twice changes nothing the second time;
// - a user.reg's records are read without fault;
// - a backup that reads writes the same document it reads back as.

#include "desktop/DesktopBackup.h"
#include "desktop/DesktopEntry.h"
#include "desktop/FileOpenRecord.h"
#include "desktop/MimeApps.h"
#include "desktop/WineEntries.h"
#include "platform/Text.h"
#include "regfile/SystemRegFile.h"

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string_view>

namespace {

using namespace quelvo::desktop;
namespace files = quelvo::regfile;

void KeyFileKeepsEveryByte(std::string_view bytes)
{
    KeyFile file;
    std::string error;
    if (!ParseKeyFile(bytes, &file, &error, true))
        std::abort();
    std::string back;
    for (const KeyFileLine& line : file.lines)
        back += line.text + (line.ended ? (line.crlf ? "\r\n" : "\n") : "");
    if (back != bytes)
        std::abort();
    if (!ParseKeyFile(bytes, &file, &error) && error.empty())
        std::abort();
}

void EntryIsWinesText(std::string_view bytes)
{
    for (const char* name : {"wine-extension-txt.desktop", "wine-protocol-irc.desktop"}) {
        WineEntry entry;
        std::string whyNot;
        if (!RecogniseWineEntry(name, bytes, &entry, &whyNot)) {
            if (whyNot.empty())
                std::abort();
            continue;
        }
        if (entry.changes.empty() && WineEntryText(entry) != bytes)
            std::abort();
        WineEntry again;
        if (!RecogniseWineEntry(name, WineEntryText(entry), &again, &whyNot) && entry.changes.empty())
            std::abort();
    }
    WineMimePackage package;
    if (RecogniseWineMimePackage("x-wine-extension-txt.xml", bytes, &package) && WineMimePackageText(package) != bytes)
        std::abort();
}

void MimeAppsEdits(std::string_view bytes)
{
    const std::set<std::string> ids = {"wine-extension-txt.desktop", "wine-protocol-irc.desktop"};
    std::string text, again;
    std::vector<MimeAppsEdit> edits, more;
    if (!RemoveDesktopIds(bytes, ids, &text, &edits))
        return;
    if (edits.empty() || RemoveDesktopIds(text, ids, &again, &more))
        std::abort();
    std::string restored;
    if (!RestoreDesktopIds(text, edits, &restored))
        std::abort();
    if (RestoreDesktopIds(restored, edits, &again))
        std::abort();
}

void UserRegRecords(std::string_view bytes)
{
    files::SystemRegDocument document;
    std::u16string error;
    if (!files::ParseSystemReg(bytes, &document, &error))
        return;
    files::RegKey root(u"", nullptr, nullptr);
    files::BuildTree(document, root);
    for (std::u16string_view name : {u".txt", u"irc"}) {
        if (const auto record = ReadFileOpenRecord(root, name))
            (void)record->DesktopFilePath();
    }
}

void BackupRoundTrip(std::string_view bytes)
{
    DesktopBackup backup;
    std::string error;
    if (!ReadDesktopBackup(bytes, &backup, &error)) {
        if (error.empty())
            std::abort();
        return;
    }
    const std::string text = WriteDesktopBackup(backup);
    DesktopBackup again;
    if (!ReadDesktopBackup(text, &again, &error) || WriteDesktopBackup(again) != text)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    KeyFileKeepsEveryByte(bytes);
    EntryIsWinesText(bytes);
    MimeAppsEdits(bytes);
    UserRegRecords(bytes);
    BackupRoundTrip(bytes);
    return 0;
}

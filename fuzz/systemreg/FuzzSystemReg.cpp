// libFuzzer entry for the system.reg reader: any input either fails with a
// line number or parses into blocks that give back exactly the input, and
// the key tree built from it can be walked. The same bytes also go through
// the .reg backup importer and the restore: as a backup restored into a
// small Wine registry, and as a Wine registry a fixed backup is restored
// into. A restore that succeeds must read back and must find nothing more
// to add the second time. A backup that is read names every key it lists;
// one that is refused says why. Whatever the bytes, the text quelvo-restore
// would print of them holds no control character and is valid UTF-8.

#include "regfile/RegFileRead.h"
#include "regfile/RegFileWrite.h"
#include "regfile/RestorePlan.h"
#include "regfile/SystemRegFile.h"
#include "regfile/TreeDump.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {



using namespace quelvo::regfile;

constexpr std::string_view kTarget =
    "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n"
    "\n[Software\\\\Classes\\\\.a] 1\n@=\"afile\"\n"
    "\n[Software\\\\Classes\\\\afile\\\\shell\\\\open\\\\command] 1\n@=\"a.exe %1\"\n"
    "\n[Software\\\\Classes\\\\Wow6432Node\\\\AppId] 1\n#link\n"
    "\"SymbolicLinkValue\"=hex(6):5c,00,52,00\n";

constexpr char16_t kBackup[] =
    u"Windows Registry Editor Version 5.00\r\n\r\n"
    u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.a]\r\n@=\"other\"\r\n\r\n"
    u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.b\\shell]\r\n\"q\\\"x\"=hex(7):61,00,00,00,00,00\r\n\r\n";

// Restores and checks the result against itself.
void RestoreChecked(std::string_view target, const RegBackupContents& backup)
{
    std::string text;
    RestoreResult result;
    if (!RestoreIntoSystemRegText(target, backup, 1, &text, &result)) {
        if (result.error.empty() || !result.restored.empty())
            std::abort();
        return;
    }
    SystemRegDocument doc;
    std::u16string error;
    if (!ParseSystemReg(text, &doc, &error))
        std::abort();
    if (result.restored.empty() != (text == target))
        std::abort();
    std::string again;
    RestoreResult second;
    if (!RestoreIntoSystemRegText(text, backup, 1, &again, &second) || !second.restored.empty() || again != text)
        std::abort();
}

// Whether printed text is safe: valid UTF-8 without C0, DEL or C1 controls.
bool Printable(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x20 || b == 0x7F)
            return false;
        if (b < 0x80) {
            ++i;
            continue;
        }
        const int extra = b >= 0xC2 && b <= 0xDF ? 1 : b >= 0xE0 && b <= 0xEF ? 2 : b >= 0xF0 && b <= 0xF4 ? 3 : 0;
        if (!extra)
            return false;
        for (int k = 1; k <= extra; ++k) {
            if (i + static_cast<std::size_t>(k) >= text.size()
                || (static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]) & 0xC0) != 0x80)
                return false;
        }
        if (b == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F)
            return false;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{

    using namespace quelvo::regfile;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    {
        RegKey restored(u"", nullptr, nullptr);
        std::u16string importError;
        if (!ImportRegFile(DecodeTextFile(bytes), restored, &importError) && importError.rfind(u"line ", 0) != 0)
            std::abort();
        (void)DumpKeyTreeWithValues(restored);
    }
    {
        RegBackupContents backup;
        std::u16string backupError;
        if (ReadRegBackup(bytes, &backup, &backupError)) {
            for (const RegKey* key : backup.keys) {
                if (!key)
                    std::abort();
            }
            RestoreChecked(kTarget, backup);
        } else if (backupError.empty() || !Printable(PrintableText(backupError))) {
            std::abort();
        }
        if (!Printable(PrintableText(bytes)))
            std::abort();
    }
    SystemRegDocument doc;
    std::u16string error;
    if (!ParseSystemReg(bytes, &doc, &error)) {
        if (error.rfind(u"line ", 0) != 0)
            std::abort();
        return 0;
    }
    if (doc.Text() != bytes)
        std::abort();
    RegKey root(u"", nullptr, nullptr);
    BuildTree(doc, root);
    (void)DumpKeyTreeWithValues(root);
    static const RegBackupContents fixed = [] {
        RegBackupContents backup;
        std::u16string ignored;
        if (!ReadRegBackup(EncodeUtf16Le(kBackup), &backup, &ignored))
            std::abort();
        return backup;
    }();
    RestoreChecked(bytes, fixed);
    return 0;
}

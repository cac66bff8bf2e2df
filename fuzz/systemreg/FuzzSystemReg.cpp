// libFuzzer entry for the system.reg reader: any input either fails with a
// line number or parses into blocks that give back exactly the input, and
// the key tree built from it can be walked. The same bytes also go through
// the .reg backup importer.

#include "platform/files/RegExport.h"
#include "platform/files/SystemRegFile.h"
#include "platform/files/TreeDump.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quelvo::platform::files;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    {
        RegKey restored(u"", nullptr, nullptr);
        std::u16string importError;
        if (!ImportRegFile(DecodeTextFile(bytes), restored, &importError) && importError.rfind(u"line ", 0) != 0)
            std::abort();
        (void)DumpKeyTreeWithValues(restored);
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
    return 0;
}

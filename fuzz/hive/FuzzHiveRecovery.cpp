// libFuzzer entry for hive recovery: a hive file and two logs, as a disk may
// hold them, hostile or cut anywhere. Recovery must end with a bounded image
// and, when it recovered, an image whose header is clean and whose bins hold;
// the structural check must end on whatever it is given.
//
// Input: [hive size, 4 bytes LE][LOG1 size, 4 bytes LE][hive][LOG1][LOG2 = the rest].

#include "regfile/HiveImage.h"
#include "regfile/HiveRecovery.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace quelvo::regfile;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 8)
        return 0;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::size_t rest = size - 8;
    const std::size_t hiveSize = hive::Le32(input.data()) % (rest + 1);
    rest -= hiveSize;
    const std::size_t log1Size = hive::Le32(input.data() + 4) % (rest + 1);
    const std::string_view primary = input.substr(8, hiveSize);
    const std::string_view log1 = input.substr(8 + hiveSize, log1Size);
    const std::string_view log2 = input.substr(8 + hiveSize + log1Size);

    const hive::Recovery r = hive::RecoverHive(std::string(primary), {{"H.LOG1", log1}, {"H.LOG2", log2}});
    // The hive grows only by what the logs carry.
    if (r.image.size() > primary.size() + log1.size() + log2.size() + hive::kBaseBlockSize)
        std::abort();
    if (r.outcome == hive::Recovery::Recovered) {
        const hive::BaseBlock base = hive::ReadBaseBlock(r.image);
        if (base.Dirty() || base.primarySequence != r.sequence || hive::CheckHiveBins(r.image))
            std::abort();
    } else if (r.image != primary) {
        std::abort();  // what is not recovered stays as it was
    }
    hive::CheckHiveStructure(r.image);
    hive::CheckHiveStructure(primary);
    return 0;
}

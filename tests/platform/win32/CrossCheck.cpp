#include "CrossCheck.h"

#include "RunWorker.h"

#include "platform/Text.h"
#include "regfile/TreeDump.h"

#include <algorithm>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace quelvo::test {

namespace {

struct Record {
    std::u16string name;
    std::string text;
};

std::mutex g_mutex;
std::vector<Record> g_records;

int OnStart()
{
    return 0;
}
int OnEnd()
{
    return 0;
}
int OnName(const char16_t* name)
{
    std::lock_guard lock(g_mutex);
    g_records.push_back({name, "name " + platform::ToUtf8(name) + "\n"});
    return 0;
}
int OnOutcome(const char16_t* name, const char16_t* path, std::int32_t type)
{
    std::lock_guard lock(g_mutex);
    g_records.back().text += "  outcome " + platform::ToUtf8(name) + " | " + platform::ToUtf8(path) + " | " +
                             std::to_string(type) + "\n";
    return 0;
}

}  // namespace

std::string CanonicalClassesTree(platform::RegistryStore& store)
{
    return regfile::DumpStoreTree(store, u"SOFTWARE\\Classes");
}

std::string CanonicalScan()
{
    g_records.clear();
    if (!RunWorker(OnStart, OnName, OnOutcome, OnEnd, 600000))
        throw std::runtime_error("the scan did not end");

    std::lock_guard lock(g_mutex);
    std::stable_sort(g_records.begin(), g_records.end(), [](const Record& a, const Record& b) {
        return platform::ToLowerAscii(a.name) < platform::ToLowerAscii(b.name);
    });
    std::string text;
    for (const Record& record : g_records)
        text += record.text;
    return text;
}

}  // namespace quelvo::test

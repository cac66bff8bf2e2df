// Cost of the system.reg store against the number of keys: a plain read of
// the file is the yardstick for parsing, opening (parse and key tree) and
// one repair (a key removed: file compared, rewritten, flushed, renamed).

#include "platform/files/FileIo.h"
#include "regfile/SystemRegFile.h"
#include "platform/files/SystemRegStore.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

using namespace quelvo::platform;
using namespace quelvo::platform::files;
using namespace quelvo::regfile;
namespace fs = std::filesystem;

// A prefix-like file: per extension an extension key and its file type key
// with Shell\Open\Command, as wineserver writes them.
std::string SyntheticSystemReg(int extensions)
{
    std::string text = "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n";
    char buf[512];
    for (int i = 0; i < extensions; ++i) {
        std::snprintf(buf, sizeof buf,
                      "\n[Software\\\\Classes\\\\.e%06d] 1796795813\n#time=1dd87a217641944\n@=\"type%06d\"\n"
                      "\"Content Type\"=\"application/x-e%06d\"\n",
                      i, i, i);
        text += buf;
    }
    for (int i = 0; i < extensions; ++i) {
        std::snprintf(buf, sizeof buf,
                      "\n[Software\\\\Classes\\\\type%06d\\\\Shell\\\\Open\\\\Command] 1796795813\n"
                      "#time=1dd87a217641944\n@=str(2):\"\\\"%%ProgramFiles%%\\\\App %d\\\\app.exe\\\" \\\"%%1\\\"\"\n",
                      i, i);
        text += buf;
    }
    return text;
}

fs::path WriteTemp(const std::string& text)
{
    std::string dir = (fs::temp_directory_path() / "quelvo-bench-XXXXXX").string();
    if (!::mkdtemp(dir.data()))
        std::abort();
    const fs::path file = fs::path(dir) / "system.reg";
    std::ofstream(file, std::ios::binary) << text;
    return file;
}

void BM_ReadFile(benchmark::State& state)
{
    const fs::path file = WriteTemp(SyntheticSystemReg(int(state.range(0))));
    std::string bytes, error;
    for (auto _ : state) {
        ReadWholeFile(file, &bytes, &error);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes.size()));
    fs::remove_all(file.parent_path());
}

void BM_ParseSystemReg(benchmark::State& state)
{
    const std::string text = SyntheticSystemReg(int(state.range(0)));
    for (auto _ : state) {
        SystemRegDocument doc;
        std::u16string error;
        benchmark::DoNotOptimize(ParseSystemReg(text, &doc, &error));
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.size()));
}

void BM_OpenStore(benchmark::State& state)
{
    const fs::path file = WriteTemp(SyntheticSystemReg(int(state.range(0))));
    for (auto _ : state) {
        std::u16string error;
        auto store = SystemRegStore::Open(file, &error);
        benchmark::DoNotOptimize(store.get());
    }
    fs::remove_all(file.parent_path());
}

void BM_RemoveKey(benchmark::State& state)
{
    const int extensions = int(state.range(0));
    const fs::path file = WriteTemp(SyntheticSystemReg(extensions));
    std::u16string error;
    auto store = SystemRegStore::Open(file, &error);
    store->SetServerCheck([] { return false; });
    int next = 0;
    for (auto _ : state) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "Software\\Classes\\.e%06d", next++ % extensions);
        std::u16string path(buf, buf + std::char_traits<char>::length(buf));
        benchmark::DoNotOptimize(store->DeleteKey(HKEY_LOCAL_MACHINE, path));
    }
    fs::remove_all(file.parent_path());
}

}  // namespace

BENCHMARK(BM_ReadFile)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseSystemReg)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenStore)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RemoveKey)->Arg(1000)->Arg(10000)->Iterations(20)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

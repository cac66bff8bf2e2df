// quelvo-lookup: the application lookup service on its own, for a
// deployment behind a load balancer or cache. The options are those of
// lookup/CommandLine.h; a bad one is named on standard error with exit
// status 2. The catalogue and the file type library default to the files
// beside the executable. SIGINT and SIGTERM (Ctrl+C on Windows) stop it.

#include "lookup/Catalogue.h"
#include "lookup/CommandLine.h"
#include "lookup/Service.h"
#include "platform/DataDir.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <pthread.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using namespace quelvo::lookup;

namespace {

#ifdef _WIN32
LookupService* g_service = nullptr;
HANDLE g_stopped = nullptr;  // set once Stop() has returned
BOOL WINAPI OnConsoleControl(DWORD)
{
    g_service->Stop();
    SetEvent(g_stopped);
    return TRUE;
}
#endif

}  // namespace

int main(int argc, char** argv)
{
    const CommandLine line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!line.error.empty()) {
        std::fprintf(stderr, "quelvo-lookup: %s\n%.*s", line.error.c_str(), static_cast<int>(UsageText().size()),
                     UsageText().data());
        return 2;
    }
    if (line.help) {
        std::fwrite(UsageText().data(), 1, UsageText().size(), stdout);
        return 0;
    }
    const fs::path dir = quelvo::platform::func_ProgramDir(argv[0]);
    const fs::path catalogueFile = line.catalogue.empty() ? dir / kCatalogueFileName : line.catalogue;
    const fs::path libraryFile = line.library.empty() ? dir / kLibraryFileName : line.library;

    std::shared_ptr<const Catalogue> catalogue;
    try {
        catalogue = std::make_shared<const Catalogue>(LoadCatalogueFiles(catalogueFile, libraryFile));
    } catch (const CatalogueError& e) {
        std::fprintf(stderr, "quelvo-lookup: %s\n", e.what());
        return 1;
    }

#ifndef _WIN32
    // The signals go to one thread that stops the server; the others never see them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
#endif

    LookupService service(catalogue, line.options);
    const int bound = service.Bind(line.host, line.port);
    if (bound < 0) {
        std::fprintf(stderr, "quelvo-lookup: cannot listen on %s:%d (in use, or not an address of this machine)\n",
                     line.host.c_str(), line.port);
        return 1;
    }
    // Serve() returns once Stop() has been called from the thread that
    // took the signal; the service outlives that call.
#ifdef _WIN32
    g_service = &service;
    g_stopped = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#else
    std::thread stopper([&service, signals] {
        int received = 0;
        sigwait(&signals, &received);
        service.Stop();
    });
#endif
    const bool v6 = line.host.find(':') != std::string::npos;
    std::printf("quelvo-lookup: %zu applications, listening on http://%s%s%s:%d/\n", catalogue->Applications().size(),
                v6 ? "[" : "", line.host.c_str(), v6 ? "]" : "", bound);
    std::fflush(stdout);
    service.Serve();
#ifdef _WIN32
    WaitForSingleObject(g_stopped, INFINITE);
#else
    stopper.join();
#endif
    return 0;
}

// quelvo-lookup: the application lookup service on its own, for a
// deployment behind a load balancer or cache.
//   quelvo-lookup --listen 0.0.0.0:8080 [--catalogue FILE] [--library FILE]
//                 [--workers N] [--read-timeout-ms N]
// The catalogue and the file type library default to the files beside the
// executable. SIGINT and SIGTERM stop it.

#include "lookup/Catalogue.h"
#include "lookup/Service.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include <pthread.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace quelvo::lookup;

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: quelvo-lookup --listen HOST:PORT [--catalogue FILE] [--library FILE]\n"
                 "                     [--workers N] [--read-timeout-ms N]\n");
    return 2;
}

fs::path ProgramDir(const char* argv0)
{
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec)
        return self.parent_path();
    return fs::absolute(argv0, ec).parent_path();
}

bool SplitHostPort(std::string_view text, std::string& host, int& port)
{
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || colon + 1 == text.size())
        return false;
    host = std::string(text.substr(0, colon));
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    char* end = nullptr;
    const std::string digits(text.substr(colon + 1));
    const long value = std::strtol(digits.c_str(), &end, 10);
    if (*end != '\0' || value < 0 || value > 65535)
        return false;
    port = static_cast<int>(value);
    return !host.empty();
}

}  // namespace

int main(int argc, char** argv)
{
    std::string listen;
    const fs::path dir = ProgramDir(argv[0]);
    fs::path catalogueFile = dir / kCatalogueFileName;
    fs::path libraryFile = dir / kLibraryFileName;
    ServiceOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (i + 1 >= argc)
            return Usage();
        const char* value = argv[++i];
        if (arg == "--listen")
            listen = value;
        else if (arg == "--catalogue")
            catalogueFile = value;
        else if (arg == "--library")
            libraryFile = value;
        else if (arg == "--workers")
            options.workers = static_cast<std::size_t>(std::strtoul(value, nullptr, 10));
        else if (arg == "--read-timeout-ms")
            options.readTimeout = std::chrono::milliseconds(std::strtol(value, nullptr, 10));
        else
            return Usage();
    }
    std::string host;
    int port = 0;
    if (!SplitHostPort(listen, host, port))
        return Usage();

    std::shared_ptr<const Catalogue> catalogue;
    try {
        catalogue = std::make_shared<const Catalogue>(LoadCatalogueFiles(catalogueFile, libraryFile));
    } catch (const CatalogueError& e) {
        std::fprintf(stderr, "quelvo-lookup: %s\n", e.what());
        return 1;
    }

    // The signals go to one thread that stops the server; the others never see them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    LookupService service(catalogue, options);
    const int bound = service.Bind(host, port);
    if (bound < 0) {
        std::fprintf(stderr, "quelvo-lookup: cannot listen on %s\n", listen.c_str());
        return 1;
    }
    std::thread stopper([&service, signals] {
        int received = 0;
        sigwait(&signals, &received);
        service.Stop();
    });
    std::printf("quelvo-lookup: %zu applications, listening on http://%s:%d/\n", catalogue->Applications().size(),
                host.c_str(), bound);
    std::fflush(stdout);
    service.Serve();
    // The service outlives the stopper: after a signal the stopper may still
    // be inside Stop() when Serve() returns. Had Serve() ended on its own, the
    // stopper still waits for a signal, so it is sent one (a second one, after
    // a signal, stays blocked and pending).
    pthread_kill(stopper.native_handle(), SIGTERM);
    stopper.join();
    return 0;
}

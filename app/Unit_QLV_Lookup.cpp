#include "app/Unit_QLV_Lookup.h"

#include "platform/Text.h"
#include "report/Unit_QLV_ReportActions.h"

#include "lookup/Catalogue.h"
#include "lookup/Service.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>

#ifndef QUELVO_LOOKUP_HOST_DEFAULT
#define QUELVO_LOOKUP_HOST_DEFAULT "lookup.quelvo.example"
#endif

namespace quelvo::app {

namespace {

constexpr std::u16string_view kDefaultHost = u"" QUELVO_LOOKUP_HOST_DEFAULT;

// Started once; a failure is remembered too, so that every Download after
// it goes to the configured host without trying again.
std::u16string EmbeddedHost(std::u16string_view appDir)
{
    static std::once_flag started;
    static std::unique_ptr<lookup::LookupService> service;
    static std::u16string host;
    std::call_once(started, [appDir] {
        try {
            std::filesystem::path dir(std::u16string{appDir});
            auto catalogue = std::make_shared<const lookup::Catalogue>(lookup::LoadCatalogueFiles(
                dir / std::string(lookup::kCatalogueFileName), dir / std::string(lookup::kLibraryFileName)));
            // One user's browser: one thread; every client is on this
            // machine, so the per-client cap is the total. Only requests for
            // its own address are answered, so that no web page can reach it
            // under a name of its own (DNS rebinding).
            lookup::ServiceOptions options;
            options.threads = 1;
            options.maxConnections = 64;
            options.maxConnectionsPerClient = 64;
            options.headTimeout = std::chrono::seconds(5);
            options.onlyOwnAddress = true;
            auto candidate = std::make_unique<lookup::LookupService>(std::move(catalogue), options);
            const int port = candidate->Bind("127.0.0.1", 0);
            if (port > 0 && candidate->Start()) {
                host = u"127.0.0.1:" + platform::FromUtf8(std::to_string(port));
                service = std::move(candidate);
            }
        } catch (const std::exception&) {
            // No catalogue or no socket: the configured host answers instead.
        }
    });
    return host;
}

}  // namespace

std::u16string func_LookupHostText()
{
    const char* fromEnvironment = std::getenv("QUELVO_LOOKUP_HOST");
    if (fromEnvironment != nullptr) {
        const std::u16string text = platform::FromUtf8(fromEnvironment);
        const std::u16string_view trimmed = platform::TrimBlanks(text);
        if (!trimmed.empty())
            return std::u16string(trimmed);
    }
    return std::u16string(kDefaultHost);
}

std::u16string func_LookupAddress(std::u16string_view query, std::u16string_view appDir)
{
    std::u16string host = func_LookupHostText();
    if (host == kDefaultHost) {
        if (std::u16string embedded = EmbeddedHost(appDir); !embedded.empty())
            host = std::move(embedded);
    }
    return report::LookupAddress(host, query);
}

}  // namespace quelvo::app

#pragma once

// The lookup service over HTTP (cpp-httplib), for the standalone server and
// for the copy the program embeds. Stateless: every answer comes from the
// catalogue and the request alone, so any number of copies can serve behind
// a load balancer or a cache.
//
// Limits: request line and each header line 8 KiB (longer ones get 414 or
// 400, or a closed connection), no request body, a client that stays silent
// or sends too slowly is dropped after the read timeout; connections wait in
// a bounded queue for a worker, so memory stays bounded under any load.

#include "lookup/Catalogue.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace quelvo::lookup {

struct ServiceOptions {
    std::chrono::milliseconds readTimeout{5000};
    std::chrono::milliseconds writeTimeout{5000};
    int keepAliveSeconds = 5;
    std::size_t keepAliveRequests = 1000;  // requests on one connection
    std::size_t workers = 96;              // connections served at once
    std::size_t queuedConnections = 256;   // accepted connections waiting for a worker
};

class LookupService {
public:
    explicit LookupService(std::shared_ptr<const Catalogue> catalogue, ServiceOptions options = {});
    ~LookupService();  // stops and waits for the serving thread
    LookupService(const LookupService&) = delete;
    LookupService& operator=(const LookupService&) = delete;

    // Binds host:port; port 0 takes a free one. Returns the port, or -1.
    int Bind(const std::string& host, int port);
    int Port() const;

    // Serves the bound socket until Stop(); false when nothing is bound.
    bool Serve();
    // Serve() on a thread of the service's own.
    bool Start();
    void Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

}  // namespace quelvo::lookup

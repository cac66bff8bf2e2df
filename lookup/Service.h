#pragma once

// The lookup service over HTTP, for the standalone server and for the copy
// the program embeds: Boost.Asio sockets with asynchronous I/O on a small
// fixed number of threads, and the requests of lookup/Http.h. Stateless:
// every answer comes from the catalogue and the request alone, so any number
// of copies can serve behind a load balancer or a cache.
//
// Limits (ServiceOptions; the defaults are those of the standalone server,
// whose command line sets the threads to the usable processors, at most 8):
//
// | Limit                              | Default  | Beyond it                                  |
// |------------------------------------|----------|--------------------------------------------|
// | threads serving every connection   | 1        |                                            |
// | connections open at once           | 1024     | an idle one is dropped, else one that has  |
// |                                    |          | been reading its head for over readingGrace|
// |                                    |          | (1 s), else the newcomer gets 503, closed  |
// | connections from one client        | 128      | the same, among that client's own          |
// |   (IPv4 address, IPv6 /64)         |          |                                            |
// | whole request head, from its first | 10 s     | closed; not renewed by each byte received  |
// |   byte (or from accept)            |          |                                            |
// | keep-alive idle between requests   | 5 s      | closed                                     |
// | writing one answer                 | 10 s     | closed (a client that does not read)       |
// | after the last answer, reading what| 1 s,     | closed                                     |
// |   the client still sends           | 64 KiB   |                                            |
// | listen backlog                     | 1024     | (the kernel may cap it; never below 128)   |
// | request head bytes / fields        | 8 KiB/64 | 414 or 431, closed (lookup/Http.h)         |
//
// A connection holds at most one request head (8 KiB) and one answer at a
// time, whatever the client sends: the next request is read only once the
// answer is written. So memory stays bounded by the connection caps, and a
// client that trickles bytes holds a connection slot but never a thread.

#include "lookup/Catalogue.h"
#include "lookup/Http.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace quelvo::lookup {

struct ServiceOptions {
    std::size_t threads = 1;
    std::size_t maxConnections = 1024;
    std::size_t maxConnectionsPerClient = 128;
    std::chrono::milliseconds headTimeout{10000};
    std::chrono::milliseconds idleTimeout{5000};
    std::chrono::milliseconds writeTimeout{10000};
    std::chrono::milliseconds lingerTimeout{1000};
    // A connection reading its head for longer than this may be dropped to
    // make room at a cap (a client that trickles bytes).
    std::chrono::milliseconds readingGrace{1000};
    int backlog = 1024;  // at least 128 is used
    HttpLimits limits;
    // Answer only requests for the bound address itself ("127.0.0.1:<port>"),
    // as the service inside the program does; others get 421.
    bool onlyOwnAddress = false;
};

// What the service has seen, for tests and logs.
struct ServiceCounters {
    std::size_t open = 0;     // connections open now
    std::size_t idle = 0;     // of those, answered and waiting for their next request
    std::size_t dropped = 0;  // connections closed to make room for new ones
    std::size_t refused = 0;  // new connections turned away with 503
};

class LookupService {
public:
    explicit LookupService(std::shared_ptr<const Catalogue> catalogue, ServiceOptions options = {});
    ~LookupService();  // stops and waits for the serving threads
    LookupService(const LookupService&) = delete;
    LookupService& operator=(const LookupService&) = delete;

    // Binds host:port (an address, or a name that resolves to one); port 0
    // takes a free one. Returns the port, or -1.
    int Bind(const std::string& host, int port);
    int Port() const;

    // Serves the bound socket on the calling thread and the others until
    // Stop(); false when nothing is bound.
    bool Serve();
    // Serves on threads of the service's own.
    bool Start();
    // From any thread, also a signal handler's helper thread.
    void Stop();

    ServiceCounters Counters() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

}  // namespace quelvo::lookup

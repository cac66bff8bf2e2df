#include "lookup/Service.h"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/write.hpp>

#include <algorithm>
#include <atomic>
#include <list>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

namespace quelvo::lookup {

namespace {

namespace net = boost::asio;
using tcp = net::ip::tcp;
using Clock = std::chrono::steady_clock;
using boost::system::error_code;

constexpr int kMinBacklog = 128;
constexpr std::size_t kFirstRead = 1024;       // grows to the head limit as a head needs it
constexpr std::size_t kLingerBytes = 64 * 1024;
constexpr std::string_view kBusy =
    "HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\nRetry-After: 1\r\nConnection: close\r\n\r\n";

// Connections are counted per client: an IPv4 address, or an IPv6 /64 (one
// host usually holds a whole /64).
std::string ClientKey(const net::ip::address& address)
{
    if (address.is_v6()) {
        const net::ip::address_v6 v6 = address.to_v6();
        if (v6.is_v4_mapped())
            return net::ip::make_address_v4(net::ip::v4_mapped, v6).to_string();
        const auto bytes = v6.to_bytes();
        return "6:" + std::string(bytes.begin(), bytes.begin() + 8);
    }
    return address.to_string();
}

class Connection;

// Every open connection, in three lists by what it does, oldest first: the
// caps and the choice of which connection makes room for a new one. Entries
// move between lists without allocating.
class Registry {
public:
    enum class State { Reading, Idle, Busy };
    struct Entry {
        Connection* connection;
        std::weak_ptr<Connection> owner;
        std::string client;
        Clock::time_point since;
    };
    using Position = std::list<Entry>::iterator;

    Registry(std::size_t maxTotal, std::size_t maxPerClient, Clock::duration readingGrace)
        : m_maxTotal(std::max<std::size_t>(1, maxTotal)),
          m_maxPerClient(std::max<std::size_t>(1, maxPerClient)),
          m_readingGrace(readingGrace)
    {
    }

    // Registers a new connection, reading its first request. At a cap,
    // another connection is taken out to make room and returned in
    // `dropped` for its owner to close; false when none can be.
    bool Admit(const std::shared_ptr<Connection>& connection, std::string client, std::shared_ptr<Connection>& dropped);
    void Move(Connection& connection, State to);
    void Release(Connection& connection);

    std::size_t Open() const
    {
        std::lock_guard lock(m_mutex);
        return m_total;
    }
    std::size_t Idle() const
    {
        std::lock_guard lock(m_mutex);
        return m_idle.size();
    }

private:
    std::list<Entry>& ListOf(State state)
    {
        return state == State::Reading ? m_reading : state == State::Idle ? m_idle : m_busy;
    }
    bool TakeOut(const std::string* client, std::shared_ptr<Connection>& dropped);
    void Forget(std::list<Entry>& list, Position at);

    const std::size_t m_maxTotal;
    const std::size_t m_maxPerClient;
    const Clock::duration m_readingGrace;
    mutable std::mutex m_mutex;
    std::list<Entry> m_reading, m_idle, m_busy;
    std::unordered_map<std::string, std::size_t> m_perClient;
    std::size_t m_total = 0;
};

// What every connection shares; it outlives them all.
struct Shared {
    Shared(const ServiceOptions& o)
        : options(o),
          registry(o.maxConnections, o.maxConnectionsPerClient, o.readingGrace)
    {
    }
    ServiceOptions options;
    Registry registry;
    std::unique_ptr<HttpResponder> responder;  // made by Bind
    std::atomic<std::size_t> dropped{0};
    std::atomic<std::size_t> refused{0};
};

// One client connection, on a strand of its own: read a head, answer it,
// then the next, with one deadline a phase.
class Connection : public std::enable_shared_from_this<Connection> {
public:
    Connection(Shared& shared, tcp::socket socket)
        : m_shared(shared), m_socket(std::move(socket)), m_timer(m_socket.get_executor())
    {
    }
    ~Connection() { m_shared.registry.Release(*this); }

    net::any_io_executor Executor() { return m_socket.get_executor(); }

    void Start()
    {
        SetDeadline(m_shared.options.headTimeout);
        ReadMore();
    }

    // Made room for another connection.
    void Drop()
    {
        if (!m_closed)
            ++m_shared.dropped;
        Close();
    }

    // Turned away at the door: a short answer if the socket takes it at once.
    void Refuse()
    {
        error_code ec;
        m_socket.non_blocking(true, ec);
        m_socket.write_some(net::buffer(kBusy.data(), kBusy.size()), ec);
        m_socket.close(ec);
        m_closed = true;
    }

    // The registry's, under its lock.
    Registry::Position position;
    Registry::State state = Registry::State::Reading;
    bool registered = false;

private:
    void ReadMore()
    {
        const std::size_t limit = m_shared.options.limits.headBytes;
        const std::size_t have = m_input.size();
        // The parser refuses a head that fills the limit, so there is room.
        const std::size_t room = std::min(limit - std::min(limit, have), std::max(kFirstRead, have));
        m_input.resize(have + std::max<std::size_t>(room, 1));
        m_socket.async_read_some(net::buffer(m_input.data() + have, m_input.size() - have),
                                 [self = shared_from_this(), have](const error_code& ec, std::size_t n) {
                                     self->OnRead(ec, have, n);
                                 });
    }

    void OnRead(const error_code& ec, std::size_t have, std::size_t n)
    {
        m_input.resize(have + n);
        // The end of the stream, or an error: whatever was answerable has
        // been answered, so a half-closed client has its answers by now.
        if (ec || n == 0) {
            Close();
            return;
        }
        if (m_phase == Phase::Idle) {
            m_phase = Phase::Head;
            m_shared.registry.Move(*this, Registry::State::Reading);
            SetDeadline(m_shared.options.headTimeout);
        }
        Process();
    }

    void Process()
    {
        HttpStep step = m_shared.responder->Next(m_input);
        m_input.erase(0, step.consumed);
        if (step.kind == HttpStep::NeedMore) {
            ReadMore();
            return;
        }
        m_output = std::move(step.answer);
        m_closeAfterWrite = step.close;
        m_phase = Phase::Writing;
        m_shared.registry.Move(*this, Registry::State::Busy);
        SetDeadline(m_shared.options.writeTimeout);
        net::async_write(m_socket, net::buffer(m_output),
                         [self = shared_from_this()](const error_code& ec, std::size_t) { self->OnWritten(ec); });
    }

    void OnWritten(const error_code& ec)
    {
        m_output = std::string();
        if (ec) {
            Close();
            return;
        }
        if (m_closeAfterWrite) {
            Linger();
            return;
        }
        if (!m_input.empty()) {
            // The next request was sent before this answer: its head
            // deadline starts now.
            m_phase = Phase::Head;
            m_shared.registry.Move(*this, Registry::State::Reading);
            SetDeadline(m_shared.options.headTimeout);
            Process();
            return;
        }
        m_phase = Phase::Idle;
        m_shared.registry.Move(*this, Registry::State::Idle);
        SetDeadline(m_shared.options.idleTimeout);
        ReadMore();
    }

    // Closing at once with unread bytes from the client would make the
    // system reset the connection and could lose the last answer on its
    // way; so the sending side is shut and what still comes is read and
    // thrown away, for a short while.
    void Linger()
    {
        m_phase = Phase::Lingering;
        m_shared.registry.Move(*this, Registry::State::Idle);
        error_code ignored;
        m_socket.shutdown(tcp::socket::shutdown_send, ignored);
        SetDeadline(m_shared.options.lingerTimeout);
        m_input.resize(kFirstRead);
        Discard();
    }

    void Discard()
    {
        m_socket.async_read_some(net::buffer(m_input), [self = shared_from_this()](const error_code& ec, std::size_t n) {
            self->m_lingered += n;
            if (ec || n == 0 || self->m_lingered > kLingerBytes)
                self->Close();
            else
                self->Discard();
        });
    }

    // One deadline for the phase, never renewed by what arrives within it.
    // The timer is moved only to an earlier time; when it fires early it
    // waits again for the deadline of the phase then current.
    void SetDeadline(Clock::duration after)
    {
        m_deadline = Clock::now() + after;
        if (!m_timerWaiting) {
            m_timer.expires_at(m_deadline);
            Wait();
        } else if (m_deadline < m_timer.expiry()) {
            m_timer.expires_at(m_deadline);  // the waiting handler runs and waits again
        }
    }

    void Wait()
    {
        m_timerWaiting = true;
        m_timer.async_wait([self = shared_from_this()](const error_code&) {
            self->m_timerWaiting = false;
            if (self->m_closed)
                return;
            if (Clock::now() >= self->m_deadline) {
                self->Close();
                return;
            }
            self->m_timer.expires_at(self->m_deadline);
            self->Wait();
        });
    }

    void Close()
    {
        if (m_closed)
            return;
        m_closed = true;
        error_code ignored;
        m_socket.close(ignored);
        m_timer.cancel();
        m_shared.registry.Release(*this);
    }

    enum class Phase { Head, Idle, Writing, Lingering };

    Shared& m_shared;
    tcp::socket m_socket;
    net::steady_timer m_timer;
    Clock::time_point m_deadline;
    std::string m_input;  // received, not yet answered
    std::string m_output;
    Phase m_phase = Phase::Head;
    std::size_t m_lingered = 0;
    bool m_closeAfterWrite = false;
    bool m_timerWaiting = false;
    bool m_closed = false;
};

bool Registry::Admit(const std::shared_ptr<Connection>& connection, std::string client,
                     std::shared_ptr<Connection>& dropped)
{
    std::lock_guard lock(m_mutex);
    const auto found = m_perClient.find(client);
    if (found != m_perClient.end() && found->second >= m_maxPerClient) {
        if (!TakeOut(&client, dropped))
            return false;
    } else if (m_total >= m_maxTotal) {
        if (!TakeOut(nullptr, dropped))
            return false;
    }
    ++m_perClient[client];
    ++m_total;
    m_reading.push_back(Entry{connection.get(), connection, std::move(client), Clock::now()});
    connection->position = std::prev(m_reading.end());
    connection->state = State::Reading;
    connection->registered = true;
    return true;
}

// An idle connection first (oldest first), else one that has been reading
// its head for longer than a legitimate client takes; never one that is
// being answered.
bool Registry::TakeOut(const std::string* client, std::shared_ptr<Connection>& dropped)
{
    const auto matches = [client](const Entry& e) { return client == nullptr || e.client == *client; };
    for (auto at = m_idle.begin(); at != m_idle.end(); ++at) {
        if (matches(*at)) {
            dropped = at->owner.lock();
            Forget(m_idle, at);
            return true;
        }
    }
    const Clock::time_point stuckSince = Clock::now() - m_readingGrace;
    for (auto at = m_reading.begin(); at != m_reading.end() && at->since <= stuckSince; ++at) {
        if (matches(*at)) {
            dropped = at->owner.lock();
            Forget(m_reading, at);
            return true;
        }
    }
    return false;
}

void Registry::Forget(std::list<Entry>& list, Position at)
{
    at->connection->registered = false;
    const auto count = m_perClient.find(at->client);
    if (count != m_perClient.end() && --count->second == 0)
        m_perClient.erase(count);
    --m_total;
    list.erase(at);
}

void Registry::Move(Connection& connection, State to)
{
    std::lock_guard lock(m_mutex);
    if (!connection.registered || connection.state == to)
        return;
    connection.position->since = Clock::now();
    ListOf(to).splice(ListOf(to).end(), ListOf(connection.state), connection.position);
    connection.state = to;
}

void Registry::Release(Connection& connection)
{
    std::lock_guard lock(m_mutex);
    if (!connection.registered)
        return;
    Forget(ListOf(connection.state), connection.position);
}

}  // namespace

struct LookupService::Impl {
    std::shared_ptr<const Catalogue> catalogue;
    Shared shared;  // before the io_context: connections end with it
    net::io_context io;
    tcp::acceptor acceptor;
    net::steady_timer acceptPause;
    std::vector<std::thread> threads;
    std::atomic<bool> running{false};
    int port = -1;

    Impl(std::shared_ptr<const Catalogue> c, const ServiceOptions& o)
        : catalogue(std::move(c)),
          shared(o),
          io(static_cast<int>(std::max<std::size_t>(1, o.threads))),
          acceptor(io),
          acceptPause(io)
    {
    }

    void Accept()
    {
        acceptor.async_accept(net::make_strand(io), [this](const error_code& ec, tcp::socket socket) {
            if (!acceptor.is_open() || ec == net::error::operation_aborted)
                return;
            if (ec) {
                // Out of descriptors or memory: the waiting connection stays
                // in the backlog; try again shortly rather than spin.
                if (ec == net::error::no_descriptors || ec == net::error::no_buffer_space
                    || ec == net::error::no_memory) {
                    acceptPause.expires_after(std::chrono::milliseconds(50));
                    acceptPause.async_wait([this](const error_code& e) {
                        if (!e)
                            Accept();
                    });
                    return;
                }
                Accept();
                return;
            }
            Admit(std::move(socket));
            Accept();
        });
    }

    void Admit(tcp::socket socket)
    {
        error_code ec;
        const tcp::endpoint peer = socket.remote_endpoint(ec);
        if (ec)
            return;
        socket.set_option(tcp::no_delay(true), ec);
        auto connection = std::make_shared<Connection>(shared, std::move(socket));
        std::shared_ptr<Connection> dropped;
        if (!shared.registry.Admit(connection, ClientKey(peer.address()), dropped)) {
            ++shared.refused;
            connection->Refuse();
            return;
        }
        if (dropped)
            net::post(dropped->Executor(), [dropped] { dropped->Drop(); });
        net::dispatch(connection->Executor(), [connection] { connection->Start(); });
    }

    // A handler that throws (out of memory) takes only its own connection
    // down: the thread goes on serving the others.
    void Run()
    {
        for (;;) {
            try {
                io.run();
                return;
            } catch (const std::exception&) {
            }
        }
    }
};

LookupService::LookupService(std::shared_ptr<const Catalogue> catalogue, ServiceOptions options)
    : m(std::make_unique<Impl>(std::move(catalogue), options))
{
}

LookupService::~LookupService() { Stop(); }

int LookupService::Bind(const std::string& host, int port)
{
    if (m->acceptor.is_open() || port < 0 || port > 65535)
        return -1;
    error_code ec;
    tcp::endpoint endpoint;
    const net::ip::address address = net::ip::make_address(host, ec);
    if (!ec) {
        endpoint = tcp::endpoint(address, static_cast<unsigned short>(port));
    } else {
        tcp::resolver resolver(m->io);
        const auto found = resolver.resolve(host, std::to_string(port),
                                            tcp::resolver::passive | tcp::resolver::numeric_service, ec);
        if (ec || found.empty())
            return -1;
        endpoint = found.begin()->endpoint();
    }
    tcp::acceptor& acceptor = m->acceptor;
    acceptor.open(endpoint.protocol(), ec);
    if (ec)
        return -1;
#ifdef _WIN32
    // No other program may bind the same port while this one serves it.
    BOOL exclusive = TRUE;
    ::setsockopt(acceptor.native_handle(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
                 sizeof exclusive);
#else
    // A restarted server binds again at once.
    acceptor.set_option(net::socket_base::reuse_address(true), ec);
#endif
    acceptor.bind(endpoint, ec);
    if (!ec)
        acceptor.listen(std::max(kMinBacklog, m->shared.options.backlog), ec);
    if (ec) {
        error_code ignored;
        acceptor.close(ignored);
        return -1;
    }
    const tcp::endpoint bound = acceptor.local_endpoint(ec);
    m->port = ec ? -1 : bound.port();
    if (m->port <= 0) {
        acceptor.close(ec);
        m->port = -1;
        return -1;
    }
    std::string onlyHost;
    if (m->shared.options.onlyOwnAddress) {
        const net::ip::address a = bound.address();
        onlyHost = (a.is_v6() ? "[" + a.to_string() + "]" : a.to_string()) + ":" + std::to_string(m->port);
    }
    m->shared.responder = std::make_unique<HttpResponder>(m->catalogue, m->shared.options.limits, std::move(onlyHost));
    return m->port;
}

int LookupService::Port() const { return m->port; }

bool LookupService::Serve()
{
    if (m->port < 0 || m->running.exchange(true))
        return false;
    m->Accept();
    std::vector<std::thread> helpers;
    for (std::size_t i = 1; i < std::max<std::size_t>(1, m->shared.options.threads); ++i)
        helpers.emplace_back([this] { m->Run(); });
    m->Run();
    for (std::thread& t : helpers)
        t.join();
    return true;
}

bool LookupService::Start()
{
    if (m->port < 0 || m->running.exchange(true))
        return false;
    m->Accept();
    for (std::size_t i = 0; i < std::max<std::size_t>(1, m->shared.options.threads); ++i)
        m->threads.emplace_back([this] { m->Run(); });
    return true;
}

void LookupService::Stop()
{
    m->io.stop();
    for (std::thread& t : m->threads) {
        if (t.joinable() && t.get_id() != std::this_thread::get_id())
            t.join();
    }
    m->threads.clear();
}

ServiceCounters LookupService::Counters() const
{
    ServiceCounters counters;
    counters.open = m->shared.registry.Open();
    counters.idle = m->shared.registry.Idle();
    counters.dropped = m->shared.dropped.load();
    counters.refused = m->shared.refused.load();
    return counters;
}

}  // namespace quelvo::lookup

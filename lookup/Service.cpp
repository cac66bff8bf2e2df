#include "lookup/Service.h"

#include "lookup/Respond.h"

#include <httplib.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace quelvo::lookup {

namespace {

// httplib's own pool queues without limit; this one makes the accepting
// thread wait instead, so a flood of connections waits in the kernel's
// backlog rather than in memory.
class BoundedPool final : public httplib::TaskQueue {
public:
    BoundedPool(std::size_t workers, std::size_t limit) : m_limit(limit == 0 ? 1 : limit)
    {
        for (std::size_t i = 0; i < (workers == 0 ? 1 : workers); ++i)
            m_threads.emplace_back([this] { Work(); });
    }
    ~BoundedPool() override { shutdown(); }

    void enqueue(std::function<void()> fn) override
    {
        std::unique_lock lock(m_mutex);
        m_notFull.wait(lock, [this] { return m_jobs.size() < m_limit || m_shutdown; });
        m_jobs.push_back(std::move(fn));
        m_notEmpty.notify_one();
    }

    void shutdown() override
    {
        {
            std::lock_guard lock(m_mutex);
            if (m_shutdown && m_threads.empty())
                return;
            m_shutdown = true;
        }
        m_notEmpty.notify_all();
        m_notFull.notify_all();
        for (std::thread& t : m_threads)
            t.join();
        m_threads.clear();
    }

private:
    void Work()
    {
        for (;;) {
            std::function<void()> fn;
            {
                std::unique_lock lock(m_mutex);
                m_notEmpty.wait(lock, [this] { return !m_jobs.empty() || m_shutdown; });
                if (m_jobs.empty())
                    return;
                fn = std::move(m_jobs.front());
                m_jobs.pop_front();
                m_notFull.notify_one();
            }
            fn();
        }
    }

    const std::size_t m_limit;
    std::mutex m_mutex;
    std::condition_variable m_notEmpty;
    std::condition_variable m_notFull;
    std::deque<std::function<void()>> m_jobs;
    std::vector<std::thread> m_threads;
    bool m_shutdown = false;
};

std::string_view RawQuery(const std::string& target)
{
    const std::size_t mark = target.find('?');
    if (mark == std::string::npos)
        return {};
    std::string_view query(target);
    query.remove_prefix(mark + 1);
    return query.substr(0, query.find('#'));
}

}  // namespace

struct LookupService::Impl {
    std::shared_ptr<const Catalogue> catalogue;
    ServiceOptions options;
    httplib::Server server;
    std::thread thread;
    int port = -1;
};

LookupService::LookupService(std::shared_ptr<const Catalogue> catalogue, ServiceOptions options)
    : m(std::make_unique<Impl>())
{
    m->catalogue = std::move(catalogue);
    m->options = options;
    httplib::Server& server = m->server;
    const auto us = [](std::chrono::milliseconds ms) {
        return std::pair<time_t, time_t>(static_cast<time_t>(ms.count() / 1000),
                                         static_cast<time_t>((ms.count() % 1000) * 1000));
    };
    server.set_read_timeout(us(options.readTimeout).first, us(options.readTimeout).second);
    server.set_write_timeout(us(options.writeTimeout).first, us(options.writeTimeout).second);
    server.set_keep_alive_timeout(options.keepAliveSeconds);
    server.set_keep_alive_max_count(options.keepAliveRequests);
    server.set_payload_max_length(0);
    server.set_tcp_nodelay(true);
    server.new_task_queue = [options] { return new BoundedPool(options.workers, options.queuedConnections); };

    // Every request is answered here, before httplib's own routing.
    server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        // Nothing here takes a body; one announced is refused unread.
        if (req.has_header("Transfer-Encoding") || req.get_header_value("Content-Length", 0).find_first_not_of("0") != std::string::npos) {
            res.status = 413;
            res.set_header("Connection", "close");
            res.set_content(std::string(ReasonPhrase(413)) + "\n", "text/plain; charset=utf-8");
            return httplib::Server::HandlerResponse::Handled;
        }
        const std::string ifNoneMatch = req.get_header_value("If-None-Match");
        Reply reply = Respond(*m->catalogue, req.method, req.path, RawQuery(req.target), ifNoneMatch);
        res.status = reply.status;
        for (auto& [name, value] : reply.headers)
            res.set_header(name, value);
        if (!reply.contentType.empty())
            res.set_content(std::move(reply.body), reply.contentType);
        return httplib::Server::HandlerResponse::Handled;
    });
    // Requests httplib refuses itself (too long, malformed) get a short page.
    server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty()) {
            const std::string_view reason = ReasonPhrase(res.status);
            res.set_content("<!DOCTYPE html><html><head><title>" + std::to_string(res.status) + " "
                                + std::string(reason) + "</title></head><body>" + std::to_string(res.status)
                                + " " + std::string(reason) + "</body></html>\n",
                            "text/html; charset=utf-8");
            res.set_header("Cache-Control", "no-store");
        }
    });
    server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        res.status = 500;
        res.set_content("Internal Server Error\n", "text/plain; charset=utf-8");
    });
}

LookupService::~LookupService() { Stop(); }

int LookupService::Bind(const std::string& host, int port)
{
    if (port == 0)
        m->port = m->server.bind_to_any_port(host);
    else
        m->port = m->server.bind_to_port(host, port) ? port : -1;
    if (m->port <= 0)
        m->port = -1;
    return m->port;
}

int LookupService::Port() const { return m->port; }

bool LookupService::Serve()
{
    if (m->port < 0)
        return false;
    return m->server.listen_after_bind();
}

bool LookupService::Start()
{
    if (m->port < 0 || m->thread.joinable())
        return false;
    m->thread = std::thread([this] { m->server.listen_after_bind(); });
    // A stop before the loop runs would be lost, so wait for it to run.
    for (int i = 0; i < 5000 && !m->server.is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void LookupService::Stop()
{
    m->server.stop();
    if (m->thread.joinable())
        m->thread.join();
}

}  // namespace quelvo::lookup

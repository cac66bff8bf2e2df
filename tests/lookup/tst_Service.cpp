// The service over real loopback sockets, with the hostile clients it must
// hold against: clients that trickle, flood, pipeline, half-close, do not
// read, or come in numbers past the caps. Deadlines are configured short;
// every wait is bounded by the client's guard, and nothing asserts a time.

#include "tests/support/HttpClient.h"
#include "ShippedCatalogue.h"

#include "lookup/Catalogue.h"
#include "lookup/Service.h"

#include <boost/asio/steady_timer.hpp>

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace quelvo::lookup;
using namespace quelvo::lookup::test;
using namespace std::chrono_literals;

namespace {

// The process's resident memory, in bytes.
std::size_t ResidentBytes()
{
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.WorkingSetSize;
#else
    std::ifstream statm("/proc/self/statm");
    std::size_t size = 0, resident = 0;
    statm >> size >> resident;
    return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
#endif
}

std::string Field(const Response& response, const char* name)
{
    const auto value = response[name];
    return std::string(value.data(), value.size());
}

constexpr std::string_view kMp3 = "/ext/file_ext.php?ext[]=mp3";

class ServiceTest : public ::testing::Test {
protected:
    void Serve(ServiceOptions options = {})
    {
        service = std::make_unique<LookupService>(ShippedCatalogue(), options);
        port = service->Bind("127.0.0.1", 0);
        ASSERT_GT(port, 0);
        ASSERT_TRUE(service->Start());
    }
    void TearDown() override { service.reset(); }

    // A connection that has had one answer and now waits, idle.
    std::unique_ptr<HttpClient> IdleClient(const std::string& from = {})
    {
        auto client = std::make_unique<HttpClient>(port, from);
        const auto answer = client->Get("/healthz");
        EXPECT_TRUE(answer && answer->result_int() == 200);
        return client;
    }

    // Waits, bounded, until the service counts `open` connections.
    void WaitForOpen(std::size_t open)
    {
        for (auto until = std::chrono::steady_clock::now() + kGuard;
             service->Counters().open != open && std::chrono::steady_clock::now() < until;)
            std::this_thread::sleep_for(5ms);
        ASSERT_EQ(service->Counters().open, open);
    }

    // Waits, bounded, until the service counts `count` idle connections.
    void WaitForIdle(std::size_t count)
    {
        for (auto until = std::chrono::steady_clock::now() + kGuard;
             service->Counters().idle != count && std::chrono::steady_clock::now() < until;)
            std::this_thread::sleep_for(5ms);
        ASSERT_EQ(service->Counters().idle, count);
    }

    // The process grew by less than 8 MiB since `before`, and the service
    // still answers. Under the address sanitizer freed memory waits in its
    // quarantine, so the process's size says nothing there.
    void ExpectBoundedGrowthAndHealth(std::size_t before)
    {
#ifndef __SANITIZE_ADDRESS__
        const std::size_t after = ResidentBytes();
        EXPECT_LT(after, before + 8u * 1024 * 1024) << "grew from " << before << " to " << after;
#else
        (void)before;
#endif
        EXPECT_TRUE(Healthy());
    }

    bool Healthy()
    {
        HttpClient client(port);
        const auto answer = client.Get("/healthz");
        return answer && answer->result_int() == 200 && answer->body() == "ok\n";
    }

    std::unique_ptr<LookupService> service;
    int port = -1;
};

}  // namespace

TEST_F(ServiceTest, shouldServeThePagesWithTheirHeadersOverHttp)
{
    Serve();
    HttpClient client(port);
    const auto page = client.Get("/ext/file_ext.php?ext[]=mp3&ext[]=AVI&ext[]=qqq");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->result_int(), 200);
    EXPECT_EQ(Field(*page, "Content-Type"), "text/html; charset=utf-8");
    EXPECT_EQ(Field(*page, "Cache-Control"), "public, max-age=3600");
    EXPECT_EQ(Field(*page, "X-Content-Type-Options"), "nosniff");
    EXPECT_EQ(Field(*page, "Content-Security-Policy"), kContentSecurityPolicy);
    EXPECT_EQ(Field(*page, "Referrer-Policy"), "no-referrer");
    EXPECT_EQ(Field(*page, "X-UA-Compatible"), "IE=edge");
    EXPECT_EQ(Field(*page, "Date").size(), 29u) << Field(*page, "Date");
    EXPECT_EQ(Field(*page, "Date").substr(25), " GMT");
    EXPECT_TRUE(Field(*page, "Accept-Ranges").empty());
    const std::string& body = page->body();
    EXPECT_NE(body.find("<title>Applications for .mp3, .AVI, .qqq</title>"), std::string::npos);
    EXPECT_NE(body.find("winget install --id VideoLAN.VLC -e"), std::string::npos);
    EXPECT_NE(body.find("<meta http-equiv=\"X-UA-Compatible\" content=\"IE=edge\">"), std::string::npos);

    // The same connection: the style sheet the page links to, then the page
    // again from the client's cache.
    const auto style = client.Get("/quelvo.css");
    ASSERT_TRUE(style);
    EXPECT_EQ(Field(*style, "Content-Type"), "text/css; charset=utf-8");
    EXPECT_NE(style->body().find("body{"), std::string::npos);
    const std::string etag = Field(*page, "ETag");
    const auto cached =
        client.Get("/ext/file_ext.php?ext[]=mp3&ext[]=AVI&ext[]=qqq", "If-None-Match: " + etag + "\r\n");
    ASSERT_TRUE(cached);
    EXPECT_EQ(cached->result_int(), 304);
    EXPECT_TRUE(cached->body().empty());

    ASSERT_TRUE(client.Send("HEAD /ext/file_ext.php?ext[]=mp3 HTTP/1.1\r\nHost: x\r\n\r\n"));
    const auto head = client.Read(/*head=*/true);
    ASSERT_TRUE(head);
    EXPECT_EQ(head->result_int(), 200);
    EXPECT_NE(Field(*head, "Content-Length"), "0");
    // Nothing but the head came: the next answer is the next request's.
    const auto after = client.Get("/healthz");
    ASSERT_TRUE(after);
    EXPECT_EQ(after->body(), "ok\n");
}

TEST_F(ServiceTest, shouldAnswerPipelinedRequestsInOrderAndNoneCutOutOfAField)
{
    Serve();
    HttpClient client(port);
    std::string five;
    for (const char* ext : {"mp3", "zip", "pdf", "flac", "avi"})
        five += "GET /ext/file_ext.php?ext[]=" + std::string(ext) + " HTTP/1.1\r\nHost: x\r\n\r\n";
    ASSERT_TRUE(client.Send(five));
    for (const char* ext : {"mp3", "zip", "pdf", "flac", "avi"}) {
        const auto answer = client.Read();
        ASSERT_TRUE(answer) << ext;
        EXPECT_NE(answer->body().find("<title>Applications for ." + std::string(ext) + "</title>"), std::string::npos);
    }

    // A request line inside a long field value is part of that value.
    const std::string smuggling = "GET / HTTP/1.1\r\nHost: x\r\nX-Pad: " + std::string(4000, 'a')
                                  + "GET /ext/file_ext.php?ext[]=SMUGGLED HTTP/1.1\r\n\r\n"
                                    "GET /ext/file_ext.php?ext[]=mp3 HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
    HttpClient other(port);
    ASSERT_TRUE(other.Send(smuggling));
    const auto rest = other.ReadToClose();
    ASSERT_TRUE(rest);
    EXPECT_EQ(rest->find("SMUGGLED"), std::string::npos);
    EXPECT_NE(rest->find("<title>Quelvo application lookup</title>"), std::string::npos);
    EXPECT_NE(rest->find("<title>Applications for .mp3</title>"), std::string::npos);
}

TEST_F(ServiceTest, shouldAnswerTheWholePageWhateverRangeIsAsked)
{
    Serve();
    HttpClient client(port);
    const auto whole = client.Get(kMp3);
    ASSERT_TRUE(whole);
    std::string ranges = "Range: bytes=0-0";
    for (int i = 1; i < 700; ++i)
        ranges += "," + std::to_string(i) + "-" + std::to_string(i);
    for (const std::string& range : {std::string("Range: bytes=0-10"), ranges}) {
        const auto answer = client.Get(kMp3, range + "\r\n");
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->result_int(), 200);
        EXPECT_EQ(answer->body(), whole->body());
        EXPECT_TRUE(Field(*answer, "Content-Range").empty());
    }
}

TEST_F(ServiceTest, shouldAnswerAClientThatHalfClosedAfterItsRequest)
{
    Serve();
    HttpClient client(port);
    ASSERT_TRUE(client.Send("GET /ext/file_ext.php?ext[]=mp3 HTTP/1.1\r\nHost: x\r\n\r\n"));
    client.ShutdownSend();
    const auto answer = client.Read();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->result_int(), 200);
    EXPECT_NE(answer->body().find("VLC"), std::string::npos);
    EXPECT_TRUE(client.ReadToClose());
}

TEST_F(ServiceTest, shouldAnswerOnlyRequestsForItsOwnAddressWhenEmbedded)
{
    ServiceOptions options;
    options.onlyOwnAddress = true;
    Serve(options);
    const std::string own = "127.0.0.1:" + std::to_string(port);
    const auto status = [this](const std::string& request) {
        HttpClient client(port);
        if (!client.Send(request))
            return -1;
        const auto answer = client.Read();
        return answer ? static_cast<int>(answer->result_int()) : -1;
    };
    EXPECT_EQ(status("GET / HTTP/1.1\r\nHost: " + own + "\r\n\r\n"), 200);
    EXPECT_EQ(status("GET / HTTP/1.1\r\nHost: attacker.example:" + std::to_string(port) + "\r\n\r\n"), 421);
    EXPECT_EQ(status("GET / HTTP/1.1\r\nHost: localhost:" + std::to_string(port) + "\r\n\r\n"), 421);
    EXPECT_EQ(status("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"), 421);
    EXPECT_EQ(status("GET / HTTP/1.0\r\n\r\n"), 421);
    EXPECT_EQ(status("GET http://attacker.example/ HTTP/1.1\r\nHost: " + own + "\r\n\r\n"), 421);
    EXPECT_EQ(status("GET http://" + own + "/healthz HTTP/1.1\r\nHost: " + own + "\r\n\r\n"), 200);
}

TEST_F(ServiceTest, shouldServeOthersWhileClientsTrickleAndDropThemAtTheirHeadDeadline)
{
    ServiceOptions options;
    options.headTimeout = 5s;
    options.threads = 4;  // connections on several threads at once
    Serve(options);

    // 100 clients each send a byte every 100 ms, for up to the guard: long
    // past their head deadline, which their bytes must not renew. They
    // connect all at once, so that all are there well within the deadline
    // even under Wine on a loaded machine.
    constexpr int kTricklers = 100;
    net::io_context io;
    std::vector<std::unique_ptr<tcp::socket>> tricklers;
    std::vector<char> closed(kTricklers, 0);
    std::atomic<int> stillOpen{kTricklers};
    char sink[kTricklers][256];
    int connected = 0;
    for (int i = 0; i < kTricklers; ++i) {
        tricklers.push_back(std::make_unique<tcp::socket>(io));
        tricklers[i]->async_connect(
            tcp::endpoint(net::ip::make_address("127.0.0.1"), static_cast<unsigned short>(port)),
            [&, i](const boost::system::error_code& ec) {
                ++connected;
                ASSERT_FALSE(ec) << ec.message();
                tricklers[i]->async_read_some(net::buffer(sink[i]), [&, i](const boost::system::error_code& e, std::size_t) {
                    if (e) {
                        closed[i] = 1;
                        --stillOpen;
                    }
                });
            });
    }
    for (const auto until = std::chrono::steady_clock::now() + kGuard;
         connected < kTricklers && std::chrono::steady_clock::now() < until;)
        io.run_one_for(100ms);
    ASSERT_EQ(connected, kTricklers);
    const std::string head = "GET /ext/file_ext.php?ext[]=mp3 HTTP/1.1\r\nHost: x\r\nX-Slow: ";
    std::size_t sent = 0;
    net::steady_timer tick(io);
    std::function<void()> trickle = [&] {
        for (int i = 0; i < kTricklers; ++i) {
            if (!closed[i]) {
                const char byte = sent < head.size() ? head[sent] : 'z';
                boost::system::error_code ignored;
                tricklers[i]->send(net::buffer(&byte, 1), 0, ignored);
            }
        }
        ++sent;
        if (stillOpen == 0)
            return;
        tick.expires_after(100ms);
        tick.async_wait([&](const boost::system::error_code& ec) {
            if (!ec)
                trickle();
        });
    };
    trickle();
    std::thread driver([&] { io.run_for(kGuard); });
    struct Joiner {
        std::thread& thread;
        ~Joiner()
        {
            if (thread.joinable())
                thread.join();
        }
    } joiner{driver};

    // A normal client is answered while every trickler is connected.
    WaitForOpen(kTricklers);
    HttpClient normal(port);
    const auto answer = normal.Get(kMp3);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->result_int(), 200);
    EXPECT_EQ(stillOpen.load(), kTricklers) << "tricklers were dropped before the normal client was answered";

    driver.join();
    EXPECT_EQ(stillOpen.load(), 0) << "tricklers kept their connections by sending a byte now and then";
}

TEST_F(ServiceTest, shouldCutAHeaderFloodAtTheLimitWithBoundedMemory)
{
    Serve();
    std::string flood = "GET / HTTP/1.1\r\nHost: x\r\n";
    flood.reserve(flood.size() + 6u * 1000000u);
    for (int i = 0; i < 1000000; ++i)
        flood += "A: b\r\n";
    const std::size_t before = ResidentBytes();
    HttpClient client(port);
    client.Send(flood);  // the service stops reading long before the end
    const auto answer = client.ReadToClose();
    ExpectBoundedGrowthAndHealth(before);
    ASSERT_TRUE(answer) << "the flooding client was kept";
    // When the refusal is reset on its way, the client sees none.
    if (!answer->empty()) {
        EXPECT_EQ(answer->rfind("HTTP/1.1 431 ", 0), 0u) << answer->substr(0, 40);
    }
}

TEST_F(ServiceTest, shouldDropAClientThatDoesNotReadItsAnswers)
{
    ServiceOptions options;
    options.writeTimeout = 500ms;
    Serve(options);
    // Many pipelined requests for a long page, and no read: the answers fill
    // the socket buffers and the write deadline ends the connection.
    std::string many;
    std::string page = "GET /ext/file_ext.php?ext[]=mp3";
    for (const char* ext : {"avi", "mkv", "zip", "pdf", "png", "jpg", "doc", "flac", "wav", "mp4"})
        page += "&ext[]=" + std::string(ext);
    page += " HTTP/1.1\r\nHost: x\r\n\r\n";
    while (many.size() < 4u * 1024 * 1024)
        many += page;
    const std::size_t before = ResidentBytes();
    HttpClient client(port);
    client.Send(many);  // the sockets' buffers may take all of it, or the service's close ends it
    WaitForOpen(0);     // closed by the service, while the client still holds it and reads nothing
    ExpectBoundedGrowthAndHealth(before);
}

TEST_F(ServiceTest, shouldCloseIdleKeepAliveConnectionsAfterTheirIdleTime)
{
    ServiceOptions options;
    options.idleTimeout = 300ms;
    Serve(options);
    auto client = IdleClient();
    const auto rest = client->ReadToClose();
    ASSERT_TRUE(rest) << "an idle connection was kept";
    EXPECT_TRUE(rest->empty());
}

TEST_F(ServiceTest, shouldMakeRoomAtTheCapsByDroppingIdleConnectionsFirst)
{
    ServiceOptions options;
    options.maxConnectionsPerClient = 3;
    options.maxConnections = 5;
    options.threads = 3;  // a connection is dropped from another one's thread
    options.readingGrace = std::chrono::hours(1);  // no head is taken for stuck here
    // Idle connections stay until dropped, however slowly this test runs
    // (sanitizers, a loaded machine).
    options.idleTimeout = std::chrono::hours(1);
    Serve(options);

    // Per client: three idle connections, then a fourth from the same
    // address takes the oldest one's place.
    // Each one counted idle before the next comes: a client reads its answer
    // before the service has marked the connection idle, and "oldest" is the
    // service's order, not the client's.
    std::vector<std::unique_ptr<HttpClient>> idle;
    for (std::size_t i = 0; i < 3; ++i) {
        idle.push_back(IdleClient());
        WaitForIdle(i + 1);
    }
    HttpClient fourth(port);
    const auto answer = fourth.Get(kMp3);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->result_int(), 200);
    const auto oldest = idle[0]->ReadToClose();
    ASSERT_TRUE(oldest) << "the oldest idle connection was kept";
    EXPECT_TRUE(oldest->empty());
    EXPECT_EQ(service->Counters().dropped, 1u);

    // Another address is counted on its own: two more fit below the total.
    auto other1 = IdleClient("127.0.0.2");
    auto other2 = IdleClient("127.0.0.2");
    WaitForOpen(5);
    WaitForIdle(5);  // every one of them, the fourth included, answered
    EXPECT_EQ(service->Counters().dropped, 1u);

    // At the total, with every connection idle, the oldest of all goes.
    auto sixth = IdleClient("127.0.0.3");
    ASSERT_TRUE(idle[1]->ReadToClose()) << "the oldest idle connection was kept at the total cap";
    EXPECT_EQ(service->Counters().dropped, 2u);
}

TEST_F(ServiceTest, shouldDropAHeadStuckPastItsGraceElseTurnTheNewcomerAway)
{
    ServiceOptions options;
    options.maxConnectionsPerClient = 2;
    options.readingGrace = std::chrono::hours(1);
    options.headTimeout = std::chrono::hours(1);  // the caps decide here, not the deadline
    Serve(options);
    // Two clients in the middle of their heads, younger than the grace: a
    // third is turned away with 503.
    HttpClient slow1(port), slow2(port);
    ASSERT_TRUE(slow1.Send("GET / HTTP/1.1\r\nHo"));
    ASSERT_TRUE(slow2.Send("GET / HTTP/1.1\r\nHo"));
    WaitForOpen(2);
    HttpClient third(port);
    const auto refused = third.ReadToClose();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->rfind("HTTP/1.1 503 ", 0), 0u) << *refused;
    EXPECT_EQ(service->Counters().refused, 1u);

    // With no grace, the head stuck longest makes room instead.
    service.reset();
    options.readingGrace = 0ms;
    Serve(options);
    HttpClient stuck1(port);
    ASSERT_TRUE(stuck1.Send("GET / HTTP/1.1\r\nHo"));
    WaitForOpen(1);
    HttpClient stuck2(port);
    ASSERT_TRUE(stuck2.Send("GET / HTTP/1.1\r\nHo"));
    WaitForOpen(2);
    HttpClient newcomer(port);
    const auto answer = newcomer.Get("/healthz");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->result_int(), 200);
    EXPECT_TRUE(stuck1.ReadToClose());
    EXPECT_EQ(service->Counters().dropped, 1u);
}

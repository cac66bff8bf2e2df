// The service over real loopback HTTP: the pages, the refusals of bad
// requests, clients that stall, and the standalone server as a process.

#include "lookup/Catalogue.h"
#include "lookup/Service.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

using namespace quelvo::lookup;
using namespace std::chrono_literals;

namespace {

std::shared_ptr<const Catalogue> Shipped()
{
    static const auto catalogue =
        std::make_shared<const Catalogue>(LoadCatalogueFiles(QUELVO_LOOKUP_CATALOGUE, QUELVO_FILETYPE_LIB));
    return catalogue;
}

class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ServiceOptions options;
        options.readTimeout = 1s;
        options.keepAliveSeconds = 1;
        options.workers = 4;
        service = std::make_unique<LookupService>(Shipped(), options);
        port = service->Bind("127.0.0.1", 0);
        ASSERT_GT(port, 0);
        ASSERT_TRUE(service->Start());
    }
    void TearDown() override { service.reset(); }

    httplib::Client Client() const
    {
        httplib::Client client("127.0.0.1", port);
        client.set_read_timeout(10, 0);
        return client;
    }

    // A raw connection, for requests no client library would send.
    int Connect() const
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        timeval tv{15, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        return fd;
    }
    static void Send(int fd, const std::string& bytes)
    {
        ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }
    // Everything until the server closes; a connection still open after
    // 15 s fails the test.
    static std::string ReadToClose(int fd)
    {
        std::string got;
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n == 0 || (n < 0 && errno == ECONNRESET))
                break;
            if (n < 0) {
                ADD_FAILURE() << "the service kept the connection open";
                break;
            }
            got.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(fd);
        return got;
    }

    std::unique_ptr<LookupService> service;
    int port = -1;
};

}  // namespace

TEST_F(ServiceTest, shouldServeThePagesOverHttp)
{
    auto client = Client();
    const auto page = client.Get("/ext/file_ext.php?ext[]=mp3&ext[]=AVI&ext[]=qqq");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
    EXPECT_EQ(page->get_header_value("Cache-Control"), "public, max-age=3600");
    const std::string etag = page->get_header_value("ETag");
    EXPECT_FALSE(etag.empty());
    const std::string& body = page->body;
    EXPECT_NE(body.find("<title>Applications for .mp3, .AVI, .qqq</title>"), std::string::npos);
    EXPECT_LT(body.find("<h2>.mp3</h2>"), body.find("<h2>.AVI</h2>"));
    EXPECT_NE(body.find("Type: Video"), std::string::npos);
    EXPECT_NE(body.find("winget install --id VideoLAN.VLC -e"), std::string::npos);
    EXPECT_NE(body.find("We know no application for .qqq files yet."), std::string::npos);

    const auto cached = client.Get("/ext/file_ext.php?ext[]=mp3&ext[]=AVI&ext[]=qqq", {{"If-None-Match", etag}});
    ASSERT_TRUE(cached);
    EXPECT_EQ(cached->status, 304);
    EXPECT_TRUE(cached->body.empty());

    // Percent-encoded brackets, as some browsers send them.
    const auto encoded = client.Get("/ext/file_ext.php?ext%5B%5D=flac");
    ASSERT_TRUE(encoded);
    EXPECT_NE(encoded->body.find("<h2>.flac</h2>"), std::string::npos);

    const auto index = client.Get("/");
    ASSERT_TRUE(index);
    EXPECT_EQ(index->status, 200);
    const auto health = client.Get("/healthz");
    ASSERT_TRUE(health);
    EXPECT_EQ(health->body, "ok\n");
    const auto head = client.Head("/ext/file_ext.php?ext[]=mp3");
    ASSERT_TRUE(head);
    EXPECT_EQ(head->status, 200);
    EXPECT_TRUE(head->body.empty());
}

TEST_F(ServiceTest, shouldRefuseBadRequestsWithA4xx)
{
    auto client = Client();
    const auto status = [&](const std::string& target) {
        const auto res = client.Get(target);
        return res ? res->status : -1;
    };
    std::string many = "/ext/file_ext.php?";
    for (int i = 0; i < 65; ++i)
        many += "ext[]=e" + std::to_string(i) + "&";
    EXPECT_EQ(status(many), 400);
    EXPECT_EQ(status("/ext/file_ext.php?ext[]=" + std::string(65, 'a')), 400);
    EXPECT_EQ(status("/ext/file_ext.php?ext[]=%E0%80%80"), 400);
    EXPECT_EQ(status("/ext/file_ext.php?ext[]=%zz"), 400);
    EXPECT_EQ(status("/ext/file_ext.php"), 400);
    EXPECT_EQ(status("/ext/"), 404);
    EXPECT_EQ(status("/ext/file_ext.php.bak?ext[]=mp3"), 404);
    const auto post = client.Post("/ext/file_ext.php?ext[]=mp3", "x", "text/plain");
    ASSERT_TRUE(post);
    EXPECT_TRUE(post->status == 405 || post->status == 413) << post->status;

    // Raw bytes that are not UTF-8, straight on the request line.
    int fd = Connect();
    Send(fd, "GET /ext/file_ext.php?ext[]=\xFF\xFE HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(ReadToClose(fd).rfind("HTTP/1.1 400", 0), 0u);

    // A request line over 8 KiB.
    fd = Connect();
    Send(fd, "GET /ext/file_ext.php?ext[]=" + std::string(9000, 'a') + " HTTP/1.1\r\nHost: x\r\n\r\n");
    const std::string longLine = ReadToClose(fd);
    EXPECT_TRUE(longLine.empty() || longLine.rfind("HTTP/1.1 4", 0) == 0) << longLine.substr(0, 40);

    // A header over 8 KiB.
    fd = Connect();
    Send(fd, "GET / HTTP/1.1\r\nHost: x\r\nX-Big: " + std::string(9000, 'b') + "\r\n\r\n");
    const std::string longHeader = ReadToClose(fd);
    EXPECT_TRUE(longHeader.empty() || longHeader.rfind("HTTP/1.1 4", 0) == 0) << longHeader.substr(0, 40);

    // A body the service never asked for.
    fd = Connect();
    Send(fd, "GET / HTTP/1.1\r\nHost: x\r\nContent-Length: 100000000\r\n\r\nxxxx");
    const std::string body = ReadToClose(fd);
    EXPECT_TRUE(body.empty() || body.rfind("HTTP/1.1 4", 0) == 0) << body.substr(0, 40);

    // The service is still well.
    EXPECT_EQ(status("/healthz"), 200);
}

TEST_F(ServiceTest, shouldDropClientsThatStallWithoutHoldingTheOthersUp)
{
    // More stalled clients than workers: one never sends, the others stop
    // half-way through the request line or the headers.
    std::vector<int> stalled;
    for (int i = 0; i < 6; ++i) {
        const int fd = Connect();
        if (i % 3 == 1)
            Send(fd, "GET /ext/file_ext.php?ext[]=mp");
        else if (i % 3 == 2)
            Send(fd, "GET / HTTP/1.1\r\nHost: x\r\n");
        stalled.push_back(fd);
    }
    auto client = Client();
    const auto res = client.Get("/healthz");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    for (const int fd : stalled) {
        const std::string got = ReadToClose(fd);  // closed by the read timeout
        EXPECT_TRUE(got.empty() || got.rfind("HTTP/1.1 4", 0) == 0) << got.substr(0, 40);
    }
}

TEST(StandaloneServer, shouldServeOnTheAddressGivenAndStopOnSigterm)
{
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::execl(QUELVO_LOOKUP_EXE, QUELVO_LOOKUP_EXE, "--listen", "127.0.0.1:0", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    // Stopped and reaped on every way out of the test: a server left running
    // would hold ctest's output open and hang the run.
    struct Reaper {
        pid_t pid;
        ~Reaper()
        {
            if (pid > 0) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, nullptr, 0);
            }
        }
    } reaper{pid};
    std::string line;
    char c = 0;
    while (::read(out[0], &c, 1) == 1 && c != '\n')
        line += c;
    ::close(out[0]);
    const std::size_t colon = line.rfind(':');
    ASSERT_NE(colon, std::string::npos) << line;
    const int port = std::stoi(line.substr(colon + 1));
    EXPECT_NE(line.find("applications, listening on http://127.0.0.1:"), std::string::npos) << line;

    httplib::Client client("127.0.0.1", port);
    // The client's own 5 s default is no part of what is checked here: a
    // freshly started server under a sanitizer on a loaded machine can take
    // longer over its first page.
    client.set_read_timeout(60, 0);
    const auto page = client.Get("/ext/file_ext.php?ext[]=pdf");
    ASSERT_TRUE(page) << httplib::to_string(page.error());
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->body.find("SumatraPDF"), std::string::npos);

    ::kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    reaper.pid = -1;
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// quelvo-lookup as a process: it serves on the address given, stops on
// SIGTERM, and a bad option is a message and exit status 2.

#include "tests/support/HttpClient.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace quelvo::lookup::test;

namespace {

struct Child {
    pid_t pid = -1;
    int out = -1;  // its standard output (and error, when asked)
};

Child Start(std::vector<const char*> args, bool withErrors = false)
{
    int pipeEnds[2];
    EXPECT_EQ(::pipe(pipeEnds), 0);
    args.insert(args.begin(), QUELVO_LOOKUP_EXE);
    args.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeEnds[1], 1);
        if (withErrors)
            ::dup2(pipeEnds[1], 2);
        ::close(pipeEnds[0]);
        ::execv(QUELVO_LOOKUP_EXE, const_cast<char* const*>(args.data()));
        ::_exit(127);
    }
    ::close(pipeEnds[1]);
    return {pid, pipeEnds[0]};
}

std::string ReadLine(int fd)
{
    std::string line;
    char c = 0;
    while (::read(fd, &c, 1) == 1 && c != '\n')
        line += c;
    return line;
}

std::string ReadAll(int fd)
{
    std::string all;
    char buffer[512];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        all.append(buffer, static_cast<std::size_t>(n));
    return all;
}

// Stopped and reaped on every way out of a test: a server left running
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
};

int ExitStatus(pid_t pid)
{
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, 0), pid);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(StandaloneServer, shouldServeOnTheAddressGivenAndStopOnSigterm)
{
    const Child run = Start({"--listen", "127.0.0.1:0", "--threads", "2"});
    Reaper reaper{run.pid};
    const std::string line = ReadLine(run.out);
    ::close(run.out);
    const std::size_t colon = line.rfind(':');
    ASSERT_NE(colon, std::string::npos) << line;
    EXPECT_NE(line.find("applications, listening on http://127.0.0.1:"), std::string::npos) << line;
    const int port = std::stoi(line.substr(colon + 1));

    HttpClient client(port);
    const auto page = client.Get("/ext/file_ext.php?ext[]=pdf");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->result_int(), 200);
    EXPECT_NE(page->body().find("SumatraPDF"), std::string::npos);

    ::kill(run.pid, SIGTERM);
    reaper.pid = -1;
    EXPECT_EQ(ExitStatus(run.pid), 0);
}

TEST(StandaloneServer, shouldExitWithStatus2AndSayWhatIsWrongWithABadOption)
{
    for (const std::vector<const char*>& args : {
             std::vector<const char*>{"--listen", "127.0.0.1:0", "--read-timeout-ms", "abc"},
             std::vector<const char*>{"--listen", "127.0.0.1:0", "--workers", "100000"},
             std::vector<const char*>{"--port", "80"},
         }) {
        const Child run = Start(args, /*withErrors=*/true);
        Reaper reaper{run.pid};
        const std::string message = ReadAll(run.out);
        ::close(run.out);
        reaper.pid = -1;
        EXPECT_EQ(ExitStatus(run.pid), 2) << args[2];
        EXPECT_EQ(message.rfind("quelvo-lookup: ", 0), 0u) << message;
        EXPECT_NE(message.find("usage: quelvo-lookup --listen HOST:PORT"), std::string::npos) << message;
    }
}

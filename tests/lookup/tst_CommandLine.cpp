// The standalone server's command line: every value checked, a bad one named
// in plain words.

#include "lookup/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace quelvo::lookup;
using namespace std::chrono_literals;

TEST(CommandLine, shouldReadEveryOptionInBothSpellings)
{
    const CommandLine line = ParseCommandLine({"--listen", "[::1]:8080", "--threads=3", "--max-connections", "500",
                                               "--max-per-client", "20", "--head-timeout-ms", "2500",
                                               "--idle-timeout-ms=700", "--write-timeout-ms", "900", "--backlog",
                                               "4096", "--catalogue", "c.tsv", "--library", "l.txt"});
    ASSERT_TRUE(line.error.empty()) << line.error;
    EXPECT_EQ(line.host, "::1");
    EXPECT_EQ(line.port, 8080);
    EXPECT_EQ(line.options.threads, 3u);
    EXPECT_EQ(line.options.maxConnections, 500u);
    EXPECT_EQ(line.options.maxConnectionsPerClient, 20u);
    EXPECT_EQ(line.options.headTimeout, 2500ms);
    EXPECT_EQ(line.options.idleTimeout, 700ms);
    EXPECT_EQ(line.options.writeTimeout, 900ms);
    EXPECT_EQ(line.options.backlog, 4096);
    EXPECT_EQ(line.catalogue, "c.tsv");
    EXPECT_EQ(line.library, "l.txt");

    // The earlier names still work; the defaults are the service's.
    const CommandLine old = ParseCommandLine({"--listen", "0.0.0.0:0", "--workers", "2", "--read-timeout-ms", "300"});
    ASSERT_TRUE(old.error.empty()) << old.error;
    EXPECT_EQ(old.options.threads, 2u);
    EXPECT_EQ(old.options.headTimeout, 300ms);
    EXPECT_EQ(old.options.maxConnections, ServiceOptions{}.maxConnections);
    const CommandLine plain = ParseCommandLine({"--listen", "127.0.0.1:1"});
    EXPECT_GE(plain.options.threads, 1u);
    EXPECT_LE(plain.options.threads, 8u);
    EXPECT_TRUE(ParseCommandLine({"--help"}).help);
}

TEST(CommandLine, shouldNameEveryBadValueInsteadOfGuessing)
{
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--listen", "8080"},
        {"--listen", "127.0.0.1:"},
        {"--listen", "127.0.0.1:70000"},
        {"--listen", "127.0.0.1:-1"},
        {"--listen", "::1:8080"},
        {"--listen", "127.0.0.1:80", "--read-timeout-ms", "abc"},
        {"--listen", "127.0.0.1:80", "--read-timeout-ms", "5s"},
        {"--listen", "127.0.0.1:80", "--workers", "100000"},
        {"--listen", "127.0.0.1:80", "--threads", "0"},
        {"--listen", "127.0.0.1:80", "--threads", "-1"},
        {"--listen", "127.0.0.1:80", "--threads", " 2"},
        {"--listen", "127.0.0.1:80", "--max-connections", "99999999999999999999"},
        {"--listen", "127.0.0.1:80", "--backlog", "5"},
        {"--listen", "127.0.0.1:80", "--idle-timeout-ms"},
        {"--listen", "127.0.0.1:80", "--catalogue", ""},
        {"--listen", "127.0.0.1:80", "--verbose", "1"},
        {"--listen", "127.0.0.1:80", "stray"},
    };
    for (const auto& args : bad) {
        std::string joined;
        for (const std::string& a : args)
            joined += a + " ";
        const CommandLine line = ParseCommandLine(args);
        EXPECT_FALSE(line.error.empty()) << joined;
        EXPECT_EQ(line.error.back(), '.') << line.error;
    }
    EXPECT_EQ(ParseCommandLine({"--listen", "127.0.0.1:80", "--threads", "abc"}).error,
              "--threads takes a whole number from 1 to 64, not \"abc\".");
}

#include "lookup/CommandLine.h"

#include <charconv>
#include <thread>

#ifdef __linux__
#include <sched.h>
#endif

namespace quelvo::lookup {

namespace {

// Whole decimal numbers only: no sign, no blanks, no trailing letters.
bool ReadNumber(std::string_view text, long long low, long long high, long long& value)
{
    if (text.empty() || text.size() > 12)
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && value >= low && value <= high
           && text.front() != '-' && text.front() != '+';
}

bool SplitHostPort(std::string_view text, std::string& host, int& port)
{
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0)
        return false;
    std::string_view name = text.substr(0, colon);
    if (name.front() == '[') {
        if (name.size() < 3 || name.back() != ']')
            return false;
        name = name.substr(1, name.size() - 2);
    } else if (name.find(':') != std::string_view::npos) {
        return false;  // an IPv6 address goes in brackets
    }
    long long value = 0;
    if (!ReadNumber(text.substr(colon + 1), 0, 65535, value))
        return false;
    host = std::string(name);
    port = static_cast<int>(value);
    return true;
}

}  // namespace

std::string_view UsageText()
{
    return "usage: quelvo-lookup --listen HOST:PORT [--catalogue FILE] [--library FILE]\n"
           "                     [--threads N] [--max-connections N] [--max-per-client N]\n"
           "                     [--head-timeout-ms N] [--idle-timeout-ms N] [--write-timeout-ms N]\n"
           "                     [--backlog N]\n";
}

std::size_t UsableProcessors()
{
#ifdef __linux__
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return static_cast<std::size_t>(CPU_COUNT(&set));
#endif
    const unsigned count = std::thread::hardware_concurrency();
    return count == 0 ? 1 : count;
}

CommandLine ParseCommandLine(const std::vector<std::string>& args)
{
    CommandLine line;
    line.options.threads = std::min<std::size_t>(8, UsableProcessors());
    std::string listen;
    const auto fail = [&line](std::string message) {
        line.error = std::move(message);
        return line;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool hasValue = false;
        if (const std::size_t equals = name.find('='); name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
            hasValue = true;
        }
        if (name == "--help" || name == "-h") {
            line.help = true;
            continue;
        }
        if (name.rfind("--", 0) != 0)
            return fail("\"" + name + "\" is not an option; the options start with --.");
        if (!hasValue) {
            if (i + 1 >= args.size())
                return fail(name + " needs a value.");
            value = args[++i];
        }
        // Numbers, with their ranges.
        struct Number {
            const char* name;
            long long low, high;
        };
        static const Number kNumbers[] = {
            {"--threads", 1, 64},           {"--workers", 1, 64},           {"--max-connections", 1, 100000},
            {"--max-per-client", 1, 100000}, {"--head-timeout-ms", 100, 600000}, {"--read-timeout-ms", 100, 600000},
            {"--idle-timeout-ms", 100, 600000}, {"--write-timeout-ms", 100, 600000}, {"--backlog", 128, 65535},
        };
        const Number* number = nullptr;
        for (const Number& n : kNumbers)
            if (name == n.name)
                number = &n;
        if (number) {
            long long v = 0;
            if (!ReadNumber(value, number->low, number->high, v))
                return fail(name + " takes a whole number from " + std::to_string(number->low) + " to "
                            + std::to_string(number->high) + ", not \"" + value + "\".");
            const auto ms = std::chrono::milliseconds(v);
            const auto count = static_cast<std::size_t>(v);
            if (name == "--threads" || name == "--workers")
                line.options.threads = count;
            else if (name == "--max-connections")
                line.options.maxConnections = count;
            else if (name == "--max-per-client")
                line.options.maxConnectionsPerClient = count;
            else if (name == "--head-timeout-ms" || name == "--read-timeout-ms")
                line.options.headTimeout = ms;
            else if (name == "--idle-timeout-ms")
                line.options.idleTimeout = ms;
            else if (name == "--write-timeout-ms")
                line.options.writeTimeout = ms;
            else
                line.options.backlog = static_cast<int>(v);
        } else if (name == "--listen") {
            if (!SplitHostPort(value, line.host, line.port))
                return fail("--listen takes HOST:PORT (an IPv6 address in brackets, a port from 0 to 65535), not \""
                            + value + "\".");
        } else if (name == "--catalogue" || name == "--library") {
            if (value.empty())
                return fail(name + " needs a file name.");
            (name == "--catalogue" ? line.catalogue : line.library) = std::filesystem::path(value);
        } else {
            return fail("\"" + name + "\" is not an option of quelvo-lookup.");
        }
    }
    if (!line.help && line.port < 0)
        return fail("--listen HOST:PORT is missing.");
    return line;
}

}  // namespace quelvo::lookup

#pragma once

// The command line of the standalone server, quelvo-lookup:
//   --listen HOST:PORT        required; [::]:8080 for IPv6, port 0 for a free one
//   --catalogue FILE          default: lookup_catalogue.tsv beside the program
//   --library FILE            default: FileType_lib.txt beside the program
//   --threads N               1..64; default: the processors it may run on, at most 8
//   --max-connections N       1..100000 (1024)
//   --max-per-client N        1..100000 (128)
//   --head-timeout-ms N       100..600000 (10000)
//   --idle-timeout-ms N       100..600000 (5000)
//   --write-timeout-ms N      100..600000 (10000)
//   --backlog N               128..65535 (1024)
//   --help
// "--name=value" is read as "--name value". --workers and --read-timeout-ms
// are the earlier names of --threads and --head-timeout-ms. Any other word,
// a missing value or one out of range is an error in plain words.

#include "lookup/Service.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quelvo::lookup {

struct CommandLine {
    std::string host;
    int port = -1;
    std::filesystem::path catalogue;  // empty: beside the program
    std::filesystem::path library;    // empty: beside the program
    ServiceOptions options;
    bool help = false;
    std::string error;  // not empty: what is wrong, for standard error (exit status 2)
};

// args without the program name.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

std::string_view UsageText();

// The processors this process may run on (its affinity on Linux).
std::size_t UsableProcessors();

}  // namespace quelvo::lookup

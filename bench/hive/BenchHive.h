#pragma once

// A generated SOFTWARE hive about as large as a real one, for the hive
// benchmarks: Classes first (while the hive is small, so hivex adds its keys
// quickly), then bulk keys of 16,000-byte binary values up to the size.

#include <cstddef>
#include <filesystem>

namespace quelvo::bench {

// `extensions` extension keys under Classes, with every outcome in turn: no
// file type, a missing one, one without command, one with a command.
void GenerateHive(const std::filesystem::path& file, std::size_t megabytes, int extensions);

// Adds Bulk\GroupN\KeyN keys, each with one value of 16,000 bytes, to an
// open hive (a hive_h), about `megabytes` of them.
void AddBulkKeys(void* hive, std::size_t megabytes);

}  // namespace quelvo::bench

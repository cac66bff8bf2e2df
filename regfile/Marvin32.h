#pragma once

// Marvin32, the keyed 64-bit hash that protects the entries of a hive's
// transaction logs (new format): Hash-1 over the entry from its first page
// reference to its end, Hash-2 over its first 32 bytes.

#include <cstddef>
#include <cstdint>

namespace quelvo::regfile::hive {

// The seed Windows uses for log entries: initial state lo = 0x7A4E55C5,
// hi = 0x82EF4D88.
inline constexpr std::uint64_t kLogEntrySeed = 0x82EF4D887A4E55C5ull;

// The hash as the log stores it: (hi << 32) | lo.
std::uint64_t Marvin32(const unsigned char* data, std::size_t size, std::uint64_t seed);

}  // namespace quelvo::regfile::hive

#include "regfile/Marvin32.h"

namespace quelvo::regfile::hive {

namespace {

constexpr std::uint32_t Rotl(std::uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

void Mix(std::uint32_t& lo, std::uint32_t& hi)
{
    hi ^= lo;
    lo = Rotl(lo, 20);
    lo += hi;
    hi = Rotl(hi, 9);
    hi ^= lo;
    lo = Rotl(lo, 27);
    lo += hi;
    hi = Rotl(hi, 19);
}

}  // namespace

std::uint64_t Marvin32(const unsigned char* data, std::size_t size, std::uint64_t seed)
{
    std::uint32_t lo = std::uint32_t(seed);
    std::uint32_t hi = std::uint32_t(seed >> 32);
    std::size_t i = 0;
    for (; size - i >= 4; i += 4) {
        lo += std::uint32_t(data[i]) | (std::uint32_t(data[i + 1]) << 8) | (std::uint32_t(data[i + 2]) << 16)
            | (std::uint32_t(data[i + 3]) << 24);
        Mix(lo, hi);
    }
    // The last 0 to 3 bytes, closed by a 0x80 byte.
    std::uint32_t last = 0x80;
    switch (size - i) {
    case 1:
        last = 0x8000u | data[i];
        break;
    case 2:
        last = 0x800000u | data[i] | (std::uint32_t(data[i + 1]) << 8);
        break;
    case 3:
        last = 0x80000000u | data[i] | (std::uint32_t(data[i + 1]) << 8) | (std::uint32_t(data[i + 2]) << 16);
        break;
    default:
        break;
    }
    lo += last;
    Mix(lo, hi);
    Mix(lo, hi);
    return (std::uint64_t(hi) << 32) | lo;
}

}  // namespace quelvo::regfile::hive

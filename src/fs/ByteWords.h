#pragma once
// ByteWords: tests of eight bytes at once, read as one number, for scanners of paths and names that pass
// over long runs of ordinary bytes. Each tells whether any of the eight bytes fails it: a borrow or carry
// only ever spreads from a byte that fails.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace quodrix {

// The eight bytes of `text` from `at` (which leaves eight), as one number.
inline std::uint64_t byteWordAt(std::string_view text, std::size_t at)
{
    std::uint64_t word;
    std::memcpy(&word, text.data() + at, 8);
    return word;
}

// Whether every byte of `word` lies from `first` to `last`; both below 0x80.
constexpr bool allBytesBetween(std::uint64_t word, unsigned char first, unsigned char last)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL, kHigh = 0x8080808080808080ULL;
    // A byte below `first` borrows when `first` is taken away; one above `last` reaches the high bit when
    // 0x7f - `last` is added, as every byte from 0x80 up has it already.
    std::uint64_t const low = (word - kOnes * first) & ~word;
    std::uint64_t const high = (word + kOnes * (0x7fu - last)) | word;
    return ((low | high) & kHigh) == 0;
}

// Whether some byte of `word` is `byte`.
constexpr bool anyByteIs(std::uint64_t word, unsigned char byte)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL, kHigh = 0x8080808080808080ULL;
    std::uint64_t const others = word ^ (kOnes * byte);
    return ((others - kOnes) & ~others & kHigh) != 0;
}

}

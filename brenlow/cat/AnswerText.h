// Conversions of fixed-position answer parameters. Positions count from 0, the command letters
// at 0 and 1; the answer is a NUL-terminated text in a zero-filled 256-byte buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace brenlow {

inline constexpr std::uint8_t kToEnd = 0xFF;

// The character at n minus the code of "0"; no check that it is a digit.
inline std::uint32_t Digit(const unsigned char* a, std::size_t n) {
    return static_cast<std::uint32_t>(static_cast<int>(a[n]) - '0');
}

// Decimal number as the C library reads one: blanks, an optional sign, digits up to the first
// other character; no digits give 0. Wraps like the 32-bit value it is stored in.
inline std::int32_t DecimalOf(const unsigned char* p, std::size_t length) {
    std::size_t i = 0;
    while (i < length && (p[i] == ' ' || (p[i] >= '\t' && p[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < length && (p[i] == '+' || p[i] == '-')) negative = p[i++] == '-';
    std::uint32_t v = 0;
    for (; i < length && p[i] >= '0' && p[i] <= '9'; ++i) v = v * 10u + static_cast<std::uint32_t>(p[i] - '0');
    return static_cast<std::int32_t>(negative ? 0u - v : v);
}

// num(from..to) of an answer of `length` characters; to = kToEnd reads to the end.
inline std::uint32_t NumberAt(const unsigned char* a, std::size_t length, std::size_t from, std::size_t to) {
    if (from >= length) return 0;
    std::size_t end = to == kToEnd ? length : (to + 1 < length ? to + 1 : length);
    return static_cast<std::uint32_t>(DecimalOf(a + from, end - from));
}

// text(from..to) into a field of `size` bytes that stays NUL-terminated; longer text is cut.
inline void TextAt(const unsigned char* a, std::size_t length, std::size_t from, std::size_t to, char* field,
                   std::size_t size) {
    std::memset(field, 0, size);
    if (from >= length) return;
    std::size_t end = to == kToEnd ? length : (to + 1 < length ? to + 1 : length);
    std::size_t n = end - from;
    if (n > size - 1) n = size - 1;
    std::memcpy(field, a + from, n);
}

}  // namespace brenlow

namespace brenlow {

// Upper-cases the hexadecimal text in place and writes four characters "0"/"1" per digit, most
// significant first, at out[4i..4i+3]. Returns out, or null at the first non-hexadecimal character
// (the positions before it are written). Writes no NUL.
inline char* HexToBits(char* hex, char* out) {
    for (std::size_t i = 0; hex[i]; ++i)
        if (hex[i] >= 'a' && hex[i] <= 'z') hex[i] = static_cast<char>(hex[i] - 'a' + 'A');
    for (std::size_t i = 0; hex[i]; ++i) {
        char c = hex[i];
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else
            return nullptr;
        for (int b = 0; b < 4; ++b) out[4 * i + b] = (v >> (3 - b)) & 1 ? '1' : '0';
    }
    return out;
}

}  // namespace brenlow

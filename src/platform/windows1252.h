#pragma once

namespace quorrix {

// The platform's single-byte code page, Windows-1252: the characters of its codes 128 to 159.
// The codes below are ASCII and those above their Latin-1 selves. The five codes the code page
// leaves unassigned stand for the control characters of the same number, as the platform
// converts them.
inline constexpr char16_t kWindows1252From128[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The character of a Windows-1252 byte.
constexpr char16_t windows1252Char(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? kWindows1252From128[byte - 0x80] : char16_t(byte);
}

}  // namespace quorrix

#pragma once

// The standard headers first: glib, which libmdb's header includes, needs them outside its C block.
#include <array>
#include <string>
#include <string_view>

#include <mdbtools.h>

namespace quorrix::mpdreader {

// How the reader has libmdb write dates.
inline constexpr char kDateFormat[] = "%Y-%m-%d %H:%M:%S";

// Where the text of one column's value is made.
struct ValueBuffer {
    std::array<char, 32> number;  // integers, floating-point numbers and dates
    std::string ascii;            // texts of ASCII characters only
    char* text = nullptr;         // libmdb's own, freed by the caller with g_free
};

// The text libmdb makes of the value of `column` in the row just fetched (not null, not a flag:
// its place in `mdb`'s page as libmdb left it in the column), made in `buffer`; libmdb's own
// formatting is called only for what is not written the same way here. The text ends at its
// first NUL, as libmdb's copy of it would.
std::string_view valueText(MdbHandle* mdb, const MdbColumn& column, ValueBuffer& buffer);

}  // namespace quorrix::mpdreader

// The database reader's texts of values against libmdb's own conversion, byte for byte: values
// laid in the page of a real database of each kind of Jet and read through a column of each type.
#include <gtest/gtest.h>

#include <QFile>
#include <cstring>
#include <string>
#include <vector>

#include "mpdreader/mdb_values.h"
#include "support/test_data.h"

namespace quorrix::mpdreader {
namespace {

struct Case {
    int type;
    std::vector<unsigned char> bytes;
};

std::vector<unsigned char> bytesOf(double value, bool single = false) {
    std::vector<unsigned char> out(single ? 4 : 8);
    const float f = static_cast<float>(value);
    std::memcpy(out.data(), single ? static_cast<const void*>(&f) : &value, out.size());
    return out;
}

TEST(MdbValues, TextsEqualLibmdbsOwn) {
    std::vector<Case> cases = {
        {MDB_BYTE, {0xFF}}, {MDB_INT, {0xFF, 0xFF}}, {MDB_INT, {0x00, 0x80}}, {MDB_INT, {0x80, 0x00}},
        {MDB_LONGINT, {0xFF, 0xFF, 0xFF, 0xFF}}, {MDB_LONGINT, {0x00, 0x00, 0x00, 0x80}},
        {MDB_LONGINT, {0x39, 0x30, 0x00, 0x00}}, {MDB_FLOAT, bytesOf(1.0 / 3, true)},
        {MDB_FLOAT, bytesOf(1e20, true)}, {MDB_DOUBLE, bytesOf(0.1)}, {MDB_DOUBLE, bytesOf(-0.0)},
        {MDB_DOUBLE, bytesOf(12345678901234567.0)}, {MDB_DOUBLE, bytesOf(2.5e-7)},
        {MDB_DATETIME, bytesOf(45000.75)}, {MDB_DATETIME, bytesOf(0)}, {MDB_DATETIME, bytesOf(-700000)},
        {MDB_DATETIME, bytesOf(3000000)}, {MDB_DATETIME, bytesOf(1e6)}, {MDB_DATETIME, bytesOf(1e6 + 1e-9)},
        {MDB_DATETIME, bytesOf(0.999999)},
        {MDB_DATETIME, bytesOf(-0.5)}, {MDB_DOUBLE, bytesOf(4800)}, {MDB_DOUBLE, bytesOf(-36)},
        {MDB_DOUBLE, bytesOf(9999999999999998.0)}, {MDB_DOUBLE, bytesOf(1e16)}, {MDB_DOUBLE, bytesOf(-1e16)},
        {MDB_FLOAT, bytesOf(99999999, true)}, {MDB_FLOAT, bytesOf(1e8, true)}, {MDB_FLOAT, bytesOf(-0.0, true)},
        {MDB_TEXT, {'A', 0, 'b', 0}},                                  // UCS-2 (Jet 4), one byte each (Jet 3)
        {MDB_TEXT, {0xFF, 0xFE, 'a', 'b', 0, 'c', 0, 0, 'd', 'e'}},    // compressed, switched twice
        {MDB_TEXT, {0xFF, 0xFE, 'a', 0, 0x01, 0x01}},                  // compressed with a wide character
        {MDB_TEXT, {'A', 0, 0xE9, 0}},                                  // not ASCII
        {MDB_TEXT, {'A', 0, 0, 0, 'B', 0}},                             // a NUL character ends it
        {MDB_TEXT, {'A', 0, 'B'}},                                      // an odd length
    };
    // Dates across the whole range written in plain digits, at times near the second's rounding.
    for (double day = -3; day < 2958470; day += 3571)
        for (const double time : {0.0, 0.5 / 86400, 43199.5 / 86400, 86399.4 / 86400, 86399.5 / 86400})
            cases.push_back({MDB_DATETIME, bytesOf(day + time)});
    for (const char* name : {"task-text/task-text-project2003-mpd9.mpd", "task-links/Xtask-links-project98-mpd8.mpd"}) {
        const QString path = QStringLiteral(QUORRIX_TESTDATA "/plans/") + QString::fromLatin1(name);
        QUORRIX_NEED_TEST_DATA(path);
        MdbHandle* mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
        ASSERT_NE(mdb, nullptr);
        mdb_set_date_fmt(mdb, kDateFormat);
        for (const Case& c : cases) {
            constexpr int kStart = 100;
            std::memcpy(mdb->pg_buf + kStart, c.bytes.data(), c.bytes.size());
            MdbColumn column{};
            column.col_type = c.type;
            column.cur_value_start = kStart;
            column.cur_value_len = static_cast<int>(c.bytes.size());
            ValueBuffer buffer;
            const std::string ours(valueText(mdb, column, buffer));
            g_free(buffer.text);
            char* theirs = mdb_col_to_string(mdb, mdb->pg_buf, kStart, c.type, column.cur_value_len);
            EXPECT_EQ(ours, std::string(theirs)) << name << ", type " << c.type << ", case " << (&c - cases.data());
            g_free(theirs);
        }
        mdb_close(mdb);
    }
}

}  // namespace
}  // namespace quorrix::mpdreader

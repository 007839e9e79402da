#include "mpdreader/mpd_dump.h"

#include "importer/plans/common/calendar.h"
#include "mpdreader/mdb_values.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorrix::mpdreader {

namespace mpd = importer::plans::mpd;

namespace {

// Ends the reading with a failure record.
struct Stop {
    mpd::Code code;
    mpd::Kind kind = mpd::Kind::Projects;
    std::size_t column = 0;
};

struct HandleCloser {
    void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};
struct TableFreer {
    void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};

class Database {
public:
    // Without MDB_WRITABLE libmdb opens the file for reading only.
    explicit Database(int fd) {
        const std::string name = "/proc/self/fd/" + std::to_string(fd);
        mdb_.reset(mdb_open(name.c_str(), MDB_NOFLAGS));
        if (!mdb_) throw Stop{mpd::Code::HeaderUnreadable};
        mdb_set_date_fmt(mdb_.get(), kDateFormat);
        mdb_set_boolean_fmt_numbers(mdb_.get());
        // Every database lists at least its own system tables.
        const GPtrArray* catalog = mdb_read_catalog(mdb_.get(), MDB_TABLE);
        if (!catalog || catalog->len == 0) throw Stop{mpd::Code::CatalogUnreadable};
        for (guint i = 0; i < catalog->len; ++i) {
            auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalog, i));
            if (entry && entry->object_type == MDB_TABLE) tables_.push_back({entry, std::strlen(entry->object_name)});
        }
    }

    MdbHandle* handle() const { return mdb_.get(); }

    // The catalog's entry of the table `name`, or nullptr. The catalog is read once, when the
    // database is opened: libmdb's lookup by name would read it again for every table.
    MdbCatalogEntry* table(const char* name) const {
        const std::size_t length = std::strlen(name);
        for (const auto& [entry, entryLength] : tables_)
            if (entryLength == length && g_ascii_strcasecmp(entry->object_name, name) == 0) return entry;
        return nullptr;
    }

private:
    std::unique_ptr<MdbHandle, HandleCloser> mdb_;
    std::vector<std::pair<MdbCatalogEntry*, std::size_t>> tables_;  // the catalog's tables, their names' lengths
};

// A text column's value (`bytes`) as libmdb turns it into text when it holds ASCII characters
// only (the character set's conversion leaves them as they are; a NUL character ends it); false
// for any other value, which is left to libmdb. Jet 4 stores UCS-2, or compressed: after FF FE, a
// 0 byte switches between one byte and two per character.
bool asciiText(const MdbHandle* mdb, const unsigned char* bytes, std::size_t length, std::string& out) {
    out.clear();
    bool ended = false;
    const auto add = [&](unsigned character) {
        if (character >= 0x80) return false;
        if (character == 0) ended = true;
        else out.push_back(static_cast<char>(character));
        return true;
    };
    if (mdb->f->jet_version != MDB_VER_JET4) {
        for (std::size_t i = 0; i < length && !ended; ++i)
            if (!add(bytes[i])) return false;
        return true;
    }
    if (length >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        bool compressed = true;
        for (std::size_t i = 2; i < length && !ended;) {
            if (bytes[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                if (!add(bytes[i++])) return false;
            } else {
                if (i + 1 >= length || !add(bytes[i] | unsigned(bytes[i + 1]) << 8)) return false;
                i += 2;
            }
        }
        return true;
    }
    if (length % 2 != 0) return false;
    for (std::size_t i = 0; i < length && !ended; i += 2)
        if (!add(bytes[i] | unsigned(bytes[i + 1]) << 8)) return false;
    return true;
}

// The day and time of a date value (days since 1899-12-30, the time of day as their fraction) as
// libmdb's mdb_date_to_tm makes them: the time rounded to the second; false for a value it treats
// otherwise (before 1899-12-30, beyond its limit of a million days, a time that rounds to the next
// day), left to libmdb.
bool wallClock(double value, tm& t) {
    if (!(value >= 0 && value <= 1e6)) return false;
    const long day = static_cast<long>(value);
    const long time = static_cast<long>((value - static_cast<double>(day)) * 86400.0 + 0.5);
    if (time >= 86400) return false;
    t.tm_hour = static_cast<int>(time / 3600);
    t.tm_min = static_cast<int>(time / 60 % 60);
    t.tm_sec = static_cast<int>(time % 60);
    const importer::plans::CivilDate date = importer::plans::civilFromDays(day - 25569);  // 1899-12-30
    t.tm_mday = date.day;
    t.tm_mon = date.month - 1;
    t.tm_year = static_cast<int>(date.year - 1900);
    return true;
}

// "00" to "99".
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839404142434445464748495051525354"
    "555657585960616263646566676869707172737475767778798081828384858687888990919293949596979899";

}  // namespace

std::string_view valueText(MdbHandle* mdb, const MdbColumn& column, ValueBuffer& buffer) {
    auto& number = buffer.number;
    const int start = column.cur_value_start;
    const auto integer = [&](long value) {
        const auto end = std::to_chars(number.data(), number.data() + number.size(), value).ptr;
        return std::string_view(number.data(), static_cast<std::size_t>(end - number.data()));
    };
    // A value that does not lie within the page (a damaged row) is left to libmdb, as it was.
    const auto inPage = [&](std::size_t size) {
        return start >= 0 && static_cast<std::size_t>(start) + size <= sizeof mdb->pg_buf;
    };
    const auto ownLength = static_cast<std::size_t>(std::max(column.cur_value_len, 0));
    switch (column.col_type) {
    case MDB_BYTE:
        if (!inPage(1)) break;
        return integer(mdb_get_byte(mdb->pg_buf, start));
    case MDB_INT:
        if (!inPage(2)) break;
        return integer(static_cast<short>(mdb_get_int16(mdb->pg_buf, start)));
    case MDB_LONGINT:
        if (!inPage(4)) break;
        return integer(static_cast<std::int32_t>(mdb_get_int32(mdb->pg_buf, start)));
    case MDB_FLOAT:
    case MDB_DOUBLE: {
        if (!inPage(column.col_type == MDB_FLOAT ? 4 : 8)) break;
        // libmdb writes them as printf's %.8g and %.16g: a whole number below 10^8 (10^16) in
        // plain digits, as an integer would be written (but for -0).
        const bool single = column.col_type == MDB_FLOAT;
        const double value = single ? mdb_get_single(mdb->pg_buf, start) : mdb_get_double(mdb->pg_buf, start);
        const double digitsBelow = single ? 1e8 : 1e16;
        if (value > -digitsBelow && value < digitsBelow && value == static_cast<double>(static_cast<long>(value)) &&
            (value != 0 || !std::signbit(value)))
            return integer(static_cast<long>(value));
        const auto end = std::to_chars(number.data(), number.data() + number.size(), value, std::chars_format::general,
                                       single ? 8 : 16).ptr;
        return {number.data(), static_cast<std::size_t>(end - number.data())};
    }
    case MDB_NUMERIC:
        if (!inPage(ownLength)) break;
        buffer.text = mdb_numeric_to_string(mdb, start, column.col_scale, column.col_prec);
        return buffer.text ? std::string_view(buffer.text, strnlen(buffer.text, mdb->bind_size - 1)) : "";
    case MDB_TEXT:
        if (inPage(ownLength) &&
            asciiText(mdb, mdb->pg_buf + start, static_cast<std::size_t>(column.cur_value_len), buffer.ascii))
            return std::string_view(buffer.ascii).substr(0, mdb->bind_size - 1);
        break;
    case MDB_DATETIME: {
        if (!inPage(8)) break;
        const double value = mdb_get_double(mdb->pg_buf, start);
        const bool shortDate = mdb_col_is_shortdate(&column);
        const bool ourFormat = !shortDate && std::memcmp(mdb->date_fmt, kDateFormat, sizeof kDateFormat) == 0;
        tm t{};
        const bool own = ourFormat && wallClock(value, t);
        if (!own) mdb_date_to_tm(value, &t);
        const int year = t.tm_year + 1900;
        const auto twoDigits = [](int value) { return value >= 0 && value <= 99; };
        if (own || (ourFormat && year >= 1000 && year <= 9999 && twoDigits(t.tm_mon + 1) && twoDigits(t.tm_mday) &&
                    twoDigits(t.tm_hour) && twoDigits(t.tm_min) && twoDigits(t.tm_sec))) {
            // kDateFormat: "YYYY-MM-DD hh:mm:ss"
            const auto two = [](char* at, int value) { std::memcpy(at, kDigitPairs + 2 * value, 2); };
            char* p = number.data();
            two(p, year / 100);
            two(p + 2, year % 100);
            p[4] = '-';
            two(p + 5, t.tm_mon + 1);
            p[7] = '-';
            two(p + 8, t.tm_mday);
            p[10] = ' ';
            two(p + 11, t.tm_hour);
            p[13] = ':';
            two(p + 14, t.tm_min);
            p[16] = ':';
            two(p + 17, t.tm_sec);
            return {number.data(), 19};
        }
        const std::size_t length =
            std::strftime(number.data(), number.size(), shortDate ? mdb->shortdate_fmt : mdb->date_fmt, &t);
        return {number.data(), length};
    }
    default: break;
    }
    buffer.text = mdb_col_to_string(mdb, mdb->pg_buf, start, column.col_type, column.cur_value_len);
    return buffer.text ? std::string_view(buffer.text, strnlen(buffer.text, mdb->bind_size - 1)) : "";
}

namespace {

// Writes every row of the table of `kind` as text: the schema's columns of that kind that are
// `asked` for, the others left empty. A column the table lacks is empty in every row. Returns
// whether it had a row.
bool dumpTable(const Database& db, const mpd::Schema& schema, mpd::Kind kind, unsigned asked,
               mpd::AnswerWriter& answer) {
    const auto k = static_cast<std::size_t>(kind);
    MdbCatalogEntry* entry = db.table(schema.tables[k]);
    std::unique_ptr<MdbTableDef, TableFreer> table(entry ? mdb_read_table(entry) : nullptr);
    if (!table) throw Stop{mpd::Code::TableUnreadable, kind};
    // A table whose usage map holds no data page has no row: its columns need not be read.
    if (table->num_rows == 0 && table->usage_map && table->map_sz > 0 &&
        mdb_map_find_next(db.handle(), table->usage_map, static_cast<unsigned>(table->map_sz), 0) == 0) {
        answer.table(kind);
        return false;
    }
    if (!mdb_read_columns(table.get()) || !table->columns) throw Stop{mpd::Code::ColumnsUnreadable, kind};
    mdb_rewind_table(table.get());

    // The asked columns are not bound: libmdb would turn each value into text and copy it once
    // more. After each row the values are taken from the page where libmdb found them, as libmdb
    // turns them into text (numbers and dates written here without its formatting calls). A
    // column the row does not reach keeps the mark -1 as its length: it is empty.
    const std::size_t columns = mpd::kColumns[k];
    std::vector<MdbColumn*> found(columns, nullptr);
    std::vector<std::size_t> lengths(columns, 0);
    for (std::size_t c = 0; c < columns; ++c)
        if (schema.columns[k][c] && mpd::columnAsked(kind, c, asked)) lengths[c] = std::strlen(schema.columns[k][c]);
    for (guint i = 0; i < table->columns->len; ++i) {
        auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        const std::size_t length = std::strlen(column->name);
        for (std::size_t c = 0; c < columns; ++c) {
            if (lengths[c] != length || found[c] || g_ascii_strcasecmp(column->name, schema.columns[k][c]) != 0)
                continue;
            found[c] = column;
            break;
        }
    }

    answer.table(kind);
    std::vector<std::string_view> fields(columns);
    std::vector<ValueBuffer> buffers(columns);
    MdbHandle* mdb = db.handle();
    bool any = false;
    for (;;) {
        for (MdbColumn* column : found)
            if (column) column->cur_value_len = -1;
        if (!mdb_fetch_row(table.get())) break;
        for (std::size_t c = 0; c < columns; ++c) {
            fields[c] = {};
            const MdbColumn* column = found[c];
            if (!column || column->cur_value_len < 0) continue;
            if (column->col_type == MDB_BOOL) {
                fields[c] = column->cur_value_len ? mdb->boolean_false_value : mdb->boolean_true_value;
                continue;
            }
            if (column->cur_value_len == 0) continue;
            fields[c] = valueText(mdb, *column, buffers[c]);
        }
        answer.rowOfTexts(fields.data(), columns);
        for (ValueBuffer& buffer : buffers) {
            g_free(buffer.text);
            buffer.text = nullptr;
        }
        any = true;
    }
    return any;
}

}  // namespace

void dumpDatabase(int database, unsigned asked, mpd::AnswerWriter& answer) {
    try {
        const Database db(database);
        const mpd::Schema* schema = nullptr;
        for (const mpd::Schema* s : {&mpd::kSchema9, &mpd::kSchema8})
            if (!schema && db.table(s->tables[static_cast<std::size_t>(mpd::Kind::Tasks)])) schema = s;
        if (!schema) throw Stop{mpd::Code::NotAPlan};
        answer.schema(*schema);
        const auto has = [&](mpd::Kind kind) {
            const char* name = schema->tables[static_cast<std::size_t>(kind)];
            return name && mpd::tableAsked(kind, asked) && db.table(name);
        };
        // The further fields' columns and tables are read only when asked for: libmdb then leaves
        // them alone. Resources come only with their assignments, the list of outline codes only
        // when a value names one.
        bool codeValues = false;
        for (std::size_t k = 0; k < mpd::kKinds; ++k) {
            const auto kind = static_cast<mpd::Kind>(k);
            if (kind == mpd::Kind::Resources || kind == mpd::Kind::Assignments) {
                if (!has(mpd::Kind::Resources) || !has(mpd::Kind::Assignments)) continue;
            } else if (kind != mpd::Kind::Tasks && !has(kind)) {
                continue;
            }
            if (kind == mpd::Kind::OutlineCodes && !codeValues) continue;
            const bool rows = dumpTable(db, *schema, kind, asked, answer);
            if (kind == mpd::Kind::CodeFields) codeValues = rows;
        }
        answer.end();
    } catch (const Stop& stop) {
        answer.failure(stop.code, stop.kind, stop.column);
    }
}

}  // namespace quorrix::mpdreader

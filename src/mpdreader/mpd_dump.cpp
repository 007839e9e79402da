#include "mpdreader/mpd_dump.h"

#include <mdbtools.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
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
        mdb_set_date_fmt(mdb_.get(), "%Y-%m-%d %H:%M:%S");
        mdb_set_boolean_fmt_numbers(mdb_.get());
        // Every database lists at least its own system tables.
        const GPtrArray* catalog = mdb_read_catalog(mdb_.get(), MDB_TABLE);
        if (!catalog || catalog->len == 0) throw Stop{mpd::Code::CatalogUnreadable};
    }

    MdbHandle* handle() const { return mdb_.get(); }

    // The catalog's entry of the table `name`, or nullptr. The catalog is read once, when the
    // database is opened: libmdb's lookup by name would read it again for every table.
    MdbCatalogEntry* table(const char* name) const {
        const GPtrArray* catalog = mdb_->catalog;
        if (!catalog) return nullptr;
        for (guint i = 0; i < catalog->len; ++i) {
            auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalog, i));
            if (entry && entry->object_type == MDB_TABLE && g_ascii_strcasecmp(entry->object_name, name) == 0)
                return entry;
        }
        return nullptr;
    }

private:
    std::unique_ptr<MdbHandle, HandleCloser> mdb_;
};

// Writes every row of the table of `kind`, its columns bound as text: the schema's columns of
// that kind that are `asked` for, the others left empty. A column the table lacks is empty in
// every row.
void dumpTable(const Database& db, const mpd::Schema& schema, mpd::Kind kind, unsigned asked,
               mpd::AnswerWriter& answer) {
    const auto k = static_cast<std::size_t>(kind);
    MdbCatalogEntry* entry = db.table(schema.tables[k]);
    std::unique_ptr<MdbTableDef, TableFreer> table(entry ? mdb_read_table(entry) : nullptr);
    if (!table) throw Stop{mpd::Code::TableUnreadable, kind};
    // A table whose usage map holds no data page has no row: its columns need not be read.
    if (table->num_rows == 0 && table->usage_map && table->map_sz > 0 &&
        mdb_map_find_next(db.handle(), table->usage_map, static_cast<unsigned>(table->map_sz), 0) == 0) {
        answer.table(kind);
        return;
    }
    if (!mdb_read_columns(table.get()) || !table->columns) throw Stop{mpd::Code::ColumnsUnreadable, kind};
    mdb_rewind_table(table.get());

    struct Value {
        std::unique_ptr<char[]> buffer;
        int length = 0;
    };
    const std::size_t columns = mpd::kColumns[k];
    const size_t bindSize = db.handle()->bind_size;
    std::vector<Value> values(columns);
    for (std::size_t c = 0; c < columns; ++c) {
        const char* wanted = schema.columns[k][c];
        if (!wanted || !mpd::columnAsked(kind, c, asked)) continue;
        for (guint i = 0; i < table->columns->len; ++i) {
            const auto* column = static_cast<const MdbColumn*>(g_ptr_array_index(table->columns, i));
            if (g_ascii_strcasecmp(column->name, wanted) != 0) continue;
            values[c].buffer = std::make_unique_for_overwrite<char[]>(bindSize + 1);
            values[c].buffer[bindSize] = '\0';  // a text cut at the bind size still ends
            if (mdb_bind_column(table.get(), static_cast<int>(i) + 1, values[c].buffer.get(), &values[c].length) < 0)
                throw Stop{mpd::Code::ColumnUnreadable, kind, c};
            break;
        }
    }

    answer.table(kind);
    std::vector<std::string_view> fields(columns);
    for (;;) {
        for (Value& value : values) value.length = 0;
        if (!mdb_fetch_row(table.get())) break;
        for (std::size_t c = 0; c < columns; ++c) {
            const Value& value = values[c];
            fields[c] = {};
            if (!value.buffer || value.length <= 0) continue;
            const std::size_t length = std::min(static_cast<std::size_t>(value.length), bindSize);
            fields[c] = {value.buffer.get(), strnlen(value.buffer.get(), length)};
        }
        answer.row(fields.data(), columns);
    }
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
        // them alone. Resources come only with their assignments.
        for (std::size_t k = 0; k < mpd::kKinds; ++k) {
            const auto kind = static_cast<mpd::Kind>(k);
            if (kind == mpd::Kind::Resources || kind == mpd::Kind::Assignments) {
                if (!has(mpd::Kind::Resources) || !has(mpd::Kind::Assignments)) continue;
            } else if (kind != mpd::Kind::Tasks && !has(kind)) {
                continue;
            }
            dumpTable(db, *schema, kind, asked, answer);
        }
        answer.end();
    } catch (const Stop& stop) {
        answer.failure(stop.code, stop.kind, stop.column);
    }
}

}  // namespace quorrix::mpdreader

#include "importer/plans/mpd/mpd_protocol.h"

#include <cerrno>
#include <cstring>
#include <vector>
#include <unistd.h>

namespace quorrix::importer::plans::mpd {

namespace {

// Records are handed to the descriptor once this much is pending.
constexpr std::size_t kFlushAt = 64 * 1024;

}  // namespace

const Schema* schemaNumbered(unsigned number) {
    if (number == kSchema9.number) return &kSchema9;
    if (number == kSchema8.number) return &kSchema8;
    return nullptr;
}

bool tableAsked(Kind kind, unsigned asked) {
    if (kind == Kind::Projects || kind == Kind::Tasks) return true;
    if (!(asked & kAskDetails)) return false;
    switch (kind) {
    case Kind::Projects:
    case Kind::Tasks:
    case Kind::Resources:
    case Kind::Assignments: return true;
    case Kind::Links: return (asked & kAskSchedule) != 0;
    case Kind::TextFields: return (asked & kAskTexts) != 0;
    case Kind::NumberFields: return (asked & kAskNumbers) != 0;
    case Kind::DateFields: return (asked & kAskDates) != 0;
    case Kind::DurationFields: return (asked & kAskDurations) != 0;
    case Kind::FlagFields: return (asked & kAskFlags) != 0;
    case Kind::CodeFields:
    case Kind::OutlineCodes: break;
    }
    return (asked & kAskCodes) != 0;
}

bool columnAsked(Kind kind, std::size_t column, unsigned asked) {
    if (!tableAsked(kind, asked)) return false;
    const bool details = (asked & kAskDetails) != 0;
    if (kind == Kind::Projects) return column < kFirstSettingColumn || (details && (asked & kAskSchedule));
    if (kind != Kind::Tasks || column < kFirstFurtherColumn) return true;
    if (column < kFirstScheduleColumn) return details;
    if (column < kFlag1) return details && (asked & kAskSchedule);
    return details && (asked & kAskFlags);
}

// ---- writing -----------------------------------------------------------------------------------

void AnswerWriter::header() {
    buffer_.append(kMagic, sizeof kMagic);
    buffer_.push_back(static_cast<char>(kVersion));
}

void AnswerWriter::schema(const Schema& schema) {
    buffer_.push_back('S');
    buffer_.push_back(static_cast<char>(schema.number));
}

void AnswerWriter::table(Kind kind) {
    buffer_.push_back('T');
    buffer_.push_back(static_cast<char>(kind));
    buffer_.push_back(static_cast<char>(kColumns[static_cast<std::size_t>(kind)]));
}

void AnswerWriter::row(const std::string_view* fields, std::size_t count) {
    std::vector<std::string_view> texts(fields, fields + count);
    for (std::string_view& text : texts) {
        text = text.substr(0, kMaxField);
        text = text.substr(0, text.find('\0'));
    }
    rowOfTexts(texts.data(), count);
}

void AnswerWriter::rowOfTexts(const std::string_view* fields, std::size_t count) {
    std::size_t size = 1 + 2 * count;
    for (std::size_t c = 0; c < count; ++c) size += fields[c].size();
    const std::size_t at = buffer_.size();
    buffer_.resize(at + size);
    char* out = buffer_.data() + at;
    *out++ = 'R';
    for (std::size_t c = 0; c < count; ++c) {
        const std::string_view field = fields[c];
        *out++ = static_cast<char>(field.size() & 0xFF);
        *out++ = static_cast<char>((field.size() >> 8) & 0xFF);
        if (!field.empty()) std::memcpy(out, field.data(), field.size());
        out += field.size();
    }
    if (buffer_.size() >= kFlushAt) flush();
}

void AnswerWriter::end() { buffer_.push_back('E'); }

void AnswerWriter::failure(Code code, Kind kind, std::size_t column) {
    buffer_.push_back('F');
    buffer_.push_back(static_cast<char>(code));
    buffer_.push_back(static_cast<char>(kind));
    buffer_.push_back(static_cast<char>(column));
}

std::array<char, 4> failureRecord(Code code) { return {'F', static_cast<char>(code), 0, 0}; }

bool AnswerWriter::flush() {
    if (fd_ < 0) return true;
    std::size_t done = 0;
    while (done < buffer_.size()) {
        const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    buffer_.clear();
    return true;
}

// ---- checking ----------------------------------------------------------------------------------

namespace {

class Cursor {
public:
    explicit Cursor(std::string_view bytes) : bytes_(bytes) {}
    bool atEnd() const { return at_ == bytes_.size(); }
    unsigned byte(const char* what) {
        need(1, what);
        return static_cast<unsigned char>(bytes_[at_++]);
    }
    std::size_t u16(const char* what) {
        need(2, what);
        const auto low = static_cast<unsigned char>(bytes_[at_]);
        const auto high = static_cast<unsigned char>(bytes_[at_ + 1]);
        at_ += 2;
        return low | (std::size_t(high) << 8);
    }
    std::string_view take(std::size_t size, const char* what) {
        need(size, what);
        const std::string_view taken = bytes_.substr(at_, size);
        at_ += size;
        return taken;
    }

private:
    void need(std::size_t size, const char* what) const {
        if (bytes_.size() - at_ < size) throw BadAnswer(std::string(what) + " ends early");
    }
    std::string_view bytes_;
    std::size_t at_ = 0;
};

Answer::Failure failureOf(Cursor& in, const Schema* schema) {
    const unsigned code = in.byte("a failure");
    const unsigned kind = in.byte("a failure");
    const unsigned column = in.byte("a failure");
    if (code < static_cast<unsigned>(Code::HeaderUnreadable) || code > static_cast<unsigned>(Code::OutOfMemory))
        throw BadAnswer("an unknown failure");
    const auto c = static_cast<Code>(code);
    const bool namesTable = c == Code::TableUnreadable || c == Code::ColumnsUnreadable || c == Code::ColumnUnreadable;
    if (namesTable) {
        if (!schema) throw BadAnswer("a failure names a table before the schema");
        if (kind >= kKinds || !schema->tables[kind]) throw BadAnswer("a failure names an unknown table");
        if (c == Code::ColumnUnreadable) {
            if (column >= kColumns[kind] || !schema->columns[kind][column])
                throw BadAnswer("a failure names an unknown column");
        } else if (column != 0) {
            throw BadAnswer("a failure names a column it has no use for");
        }
    } else if (kind != 0 || column != 0) {
        throw BadAnswer("a failure names a table it has no use for");
    }
    return {c, static_cast<Kind>(kind), column};
}

}  // namespace

Answer parseAnswer(std::string_view bytes, unsigned asked) {
    Answer answer;
    Cursor in(bytes);
    const std::string_view magic = in.take(sizeof kMagic, "the header");
    if (magic != std::string_view(kMagic, sizeof kMagic)) throw BadAnswer("it does not begin as an answer");
    if (in.byte("the header") != kVersion) throw BadAnswer("it is of another version");

    Answer::Table* current = nullptr;
    std::array<bool, kMaxColumns> held{};  // the current table's columns that may hold a value
    int lastKind = -1;
    for (;;) {
        const unsigned tag = in.byte("the answer");
        if (tag == 'R') {
            if (!current) throw BadAnswer("a row outside a table");
            for (std::size_t c = 0; c < current->columns; ++c) {
                const std::string_view field = in.take(in.u16("a row"), "a row");
                if (field.find('\0') != std::string_view::npos) throw BadAnswer("a field holds a zero byte");
                if (!field.empty() && !held[c]) throw BadAnswer("a value came for a column not read");
                current->fields.push_back(field);
            }
            continue;
        }
        if (tag == 'S') {
            if (answer.schema) throw BadAnswer("a second schema");
            answer.schema = schemaNumbered(in.byte("the schema"));
            if (!answer.schema) throw BadAnswer("an unknown schema");
            continue;
        }
        if (tag == 'T') {
            if (!answer.schema) throw BadAnswer("a table without a schema");
            const unsigned kind = in.byte("a table");
            const unsigned columns = in.byte("a table");
            if (kind >= kKinds) throw BadAnswer("an unknown table");
            if (static_cast<int>(kind) <= lastKind) throw BadAnswer("the tables are out of order");
            if (columns != kColumns[kind]) throw BadAnswer("a table has the wrong number of columns");
            if (!answer.schema->tables[kind]) throw BadAnswer("a table the schema lacks");
            if (!tableAsked(static_cast<Kind>(kind), asked)) throw BadAnswer("a table came that was not asked for");
            lastKind = static_cast<int>(kind);
            current = &answer.tables[kind];
            current->present = true;
            current->columns = columns;
            for (std::size_t c = 0; c < columns; ++c)
                held[c] = answer.schema->columns[kind][c] && columnAsked(static_cast<Kind>(kind), c, asked);
            continue;
        }
        if (tag == 'E') {
            if (!answer.schema) throw BadAnswer("it ends without a schema");
            if (!answer.tables[static_cast<std::size_t>(Kind::Tasks)].present) throw BadAnswer("it has no task table");
            if (answer.tables[static_cast<std::size_t>(Kind::Resources)].present !=
                answer.tables[static_cast<std::size_t>(Kind::Assignments)].present)
                throw BadAnswer("resources came without assignments");
        } else if (tag == 'F') {
            answer.failure = failureOf(in, answer.schema);
        } else {
            throw BadAnswer("an unknown record");
        }
        if (!in.atEnd()) throw BadAnswer("more follows its end");
        return answer;
    }
}

}  // namespace quorrix::importer::plans::mpd

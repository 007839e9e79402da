#include "importer/workbook/xlsx_stream.h"

#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "importer/workbook/xlsx_library.h"
#include "platform/failure.h"

namespace quorrix::importer::workbook {

namespace {

// Rows travel to the writing thread in parcels of about this size; at most this many wait.
constexpr std::size_t kParcelBytes = 256 * 1024;
constexpr std::size_t kMaxParcels = 8;
// Past this many sheets the stream gives up: the library keeps a temporary file open for each.
constexpr std::size_t kMaxSheets = 256;

// A row in a parcel: where it goes, then its record, then its indented cells.
struct RowHead {
    lxw_worksheet* out;
    std::uint32_t row;
    std::uint32_t bytes;
    std::uint16_t cells;
    std::uint16_t indents;  // the number of indented cells that follow the record
    std::uint8_t level;     // outline level - 1
};

// An indented cell of a row in a parcel.
struct IndentEntry {
    std::uint16_t column;
    std::uint8_t indent;
};

}  // namespace

XlsxStream::XlsxStream() = default;

XlsxStream::~XlsxStream() { abandon(); }

void XlsxStream::abandon() {
    broken_ = true;
    failed_ = true;  // parcels still waiting are let go unwritten
    stop();
    book_.reset();
    if (reserved_ >= 0) ::close(reserved_);
    reserved_ = -1;
}

bool XlsxStream::start() {
    // The library takes the file's name now and opens it only when the workbook is closed; the
    // name is that of a descriptor held until then, made to refer to the real file at the end.
    reserved_ = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (reserved_ < 0) return false;
    try {
        const xlsx::QuietLibrary quiet;
        book_ = std::make_unique<xlsx::LibraryWorkbook>("/proc/self/fd/" + QByteArray::number(reserved_), false);
    } catch (const Failure&) {
        return false;
    }
    writer_ = std::thread([this] { write(); });
    return true;
}

lxw_worksheet* XlsxStream::sheetFor(const SheetData& sheet) {
    for (const Added& added : added_)
        if (added.id == sheet.id) return added.out;
    if (added_.size() >= kMaxSheets) return nullptr;
    if (!book_ && !start()) return nullptr;
    try {
        const xlsx::QuietLibrary quiet;
        lxw_worksheet* out = book_->addSheet(sheet.name);
        added_.push_back({sheet.id, sheet.name, out});
        return out;
    } catch (const Failure&) {
        return nullptr;
    }
}

bool XlsxStream::row(const SheetData& sheet, long row, const RowRecord& record) {
    if (broken_ || failed_) return false;
    lxw_worksheet* out = sheetFor(sheet);
    if (!out) {
        broken_ = true;
        return false;
    }
    const auto r = static_cast<std::size_t>(row - 1);
    RowHead head{out, static_cast<std::uint32_t>(row), record.bytes, record.cells, 0,
                 static_cast<std::uint8_t>(sheet.rowLevel(r))};
    const std::size_t at = filling_.size();
    filling_.append(reinterpret_cast<const char*>(&head), sizeof head);
    filling_.append(record.data, record.bytes);
    for (const ColumnIndents& indents : sheet.indents) {
        if (r >= indents.rows.size() || indents.rows[r] == 0) continue;
        const IndentEntry entry{static_cast<std::uint16_t>(indents.column), indents.rows[r]};
        filling_.append(reinterpret_cast<const char*>(&entry), sizeof entry);
        ++head.indents;
    }
    if (head.indents) std::memcpy(filling_.data() + at, &head, sizeof head);
    cells_ += record.cells;
    // A file this large needs the zip format's large extensions, which the stream's file was
    // started without: it is written at the end instead.
    if (xlsx::isHuge(cells_)) {
        broken_ = true;
        return false;
    }
    if (filling_.size() >= kParcelBytes) send();
    return true;
}

void XlsxStream::send() {
    if (filling_.empty()) return;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return queue_.size() < kMaxParcels; });
    queue_.push_back(std::move(filling_));
    filling_ = std::string();
    if (!spare_.empty()) {
        filling_ = std::move(spare_.back());
        spare_.pop_back();
    }
    changed_.notify_all();
    lock.unlock();
    filling_.clear();
    filling_.reserve(kParcelBytes + 4096);
}

void XlsxStream::write() {
    std::string scratch;
    std::string parcel;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            if (parcel.capacity() != 0 && spare_.size() < 2) spare_.push_back(std::move(parcel));
            changed_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) return;
            parcel = std::move(queue_.front());
            queue_.pop_front();
            changed_.notify_all();
        }
        if (failed_) continue;
        const char* p = parcel.data();
        const char* end = p + parcel.size();
        while (p < end && !failed_) {
            RowHead head;
            std::memcpy(&head, p, sizeof head);
            p += sizeof head;
            const char* indents = p + head.bytes;
            const auto indentOf = [&](int column) {
                for (std::uint16_t i = 0; i < head.indents; ++i) {
                    IndentEntry entry;
                    std::memcpy(&entry, indents + i * sizeof entry, sizeof entry);
                    if (entry.column == column) return int(entry.indent);
                }
                return 0;
            };
            if (head.level && xlsx::LibraryWorkbook::setRowLevel(head.out, head.row, head.level) != LXW_NO_ERROR)
                failed_ = true;
            visitRecord({p, head.bytes, head.cells}, [&](int column, const CellView& cell) {
                if (!failed_ && book_->writeCell(head.out, head.row, column, cell, scratch, indentOf(column)) != LXW_NO_ERROR)
                    failed_ = true;
            });
            p = indents + head.indents * sizeof(IndentEntry);
        }
    }
}

void XlsxStream::stop() {
    if (!writer_.joinable()) return;
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    writer_.join();
}

bool XlsxStream::finish(const MemoryWorkbook& workbook, int fd) {
    if (broken_ || failed_) return false;
    struct Done {
        bool& broken;
        ~Done() { broken = true; }  // no more rows, whatever happens here
    } done{broken_};
    const std::vector<SheetData>& sheets = workbook.sheets();
    // The sheets written ahead must be the first of the workbook's, in order, under their names.
    if (added_.size() > sheets.size()) return false;
    for (std::size_t k = 0; k < added_.size(); ++k)
        if (added_[k].id != sheets[k].id || added_[k].name != sheets[k].name) return false;
    // The library takes a sheet's filter only while no row below it is written yet; a filter
    // that ends above the sheet's last row is given to a sheet written at the end.
    for (const SheetData& sheet : sheets) {
        if (!sheet.autoFilter) continue;
        for (auto r = static_cast<std::size_t>(sheet.autoFilter->lastRow); r < sheet.rows.size(); ++r)
            if (sheet.holdsRow(r)) return false;
    }

    // What was not handed over yet, and the sheets that have no row written ahead.
    for (const SheetData& sheet : sheets) {
        if (!sheetFor(sheet)) return false;
        for (std::size_t r = sheet.handed; r < sheet.rows.size(); ++r)
            if (sheet.holdsRow(r) && !row(sheet, static_cast<long>(r + 1), workbook.record(sheet, r))) return false;
    }
    send();
    stop();
    if (failed_) return false;

    const xlsx::QuietLibrary quiet;
    for (std::size_t k = 0; k < sheets.size(); ++k)
        book_->finishSheet(added_[k].out, sheets[k], static_cast<int>(k) + 1 == workbook.activeSheet());
    if (::dup3(fd, reserved_, O_CLOEXEC) < 0) xlsx::cannotWrite(xlsx::systemError(errno));
    book_->close();
    return true;
}

}  // namespace quorrix::importer::workbook

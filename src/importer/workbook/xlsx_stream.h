#pragma once

#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "importer/workbook/memory_workbook.h"

typedef struct lxw_worksheet lxw_worksheet;

namespace quorrix::importer::workbook {

namespace xlsx {
class LibraryWorkbook;
}

// Writes a workbook's .xlsx file ahead, while the workbook is still being filled: the workbook
// hands over each row it will not change again, and a thread of the stream's own turns those
// rows into the file's sheets as they come, so that little is left to do once the workbook is
// shown. The stream only ever guesses: when the workbook later changes a row it has handed over,
// or ends up with sheets in another order or under other names than the stream gave them, the
// stream is of no use and the whole workbook is written as usual (`finish` says so).
//
// Every call comes from the thread that fills the workbook. The rows waiting for the writing
// thread are bounded (a few MB); when they are all taken, handing over waits.
class XlsxStream : public RowSink {
public:
    XlsxStream();
    ~XlsxStream() override;  // abandons whatever was written ahead
    XlsxStream(const XlsxStream&) = delete;
    XlsxStream& operator=(const XlsxStream&) = delete;

    // A row (1-based) of `sheet`, whose cells are the workbook's record of it; copied. False when
    // the stream has given up (it cannot be of use any more, and may be dropped).
    bool row(const SheetData& sheet, long row, const RowRecord& record) override;
    // Lets go of whatever was written ahead; the stream takes no more rows and finishes nothing.
    void abandon() override;

    // Completes the file from what was handed over and what the workbook holds beyond it, and
    // writes it into the file open at descriptor `fd`. False, with nothing written to `fd`, when
    // the stream cannot give this workbook; throws Failure when the file cannot be written. Either
    // way the stream is done: it takes no more rows.
    bool finish(const MemoryWorkbook& workbook, int fd);

private:
    struct Added {
        std::uint64_t id;
        QString name;
        lxw_worksheet* out;
    };
    lxw_worksheet* sheetFor(const SheetData& sheet);
    bool start();
    void send();
    void write();
    void stop();

    std::unique_ptr<xlsx::LibraryWorkbook> book_;
    int reserved_ = -1;  // the descriptor whose name the library writes the file to
    std::vector<Added> added_;  // the sheets of the file so far, in order
    std::size_t cells_ = 0;
    bool broken_ = false;
    std::string filling_;

    // A std::thread rather than a QThread: Qt's own synchronisation of a finished QThread is not
    // visible to ThreadSanitizer, which checks this class, and a join is.
    std::thread writer_;  // started with the first sheet, joined by stop()
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> queue_;
    std::vector<std::string> spare_;  // written parcels, their room kept for the next ones
    bool stopping_ = false;
    std::atomic<bool> failed_{false};
};

}  // namespace quorrix::importer::workbook

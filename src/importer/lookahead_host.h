#pragma once

#include <QString>
#include <QStringList>

#include "importer/automation/automation.h"
#include "importer/import_run.h"

namespace quorrix::importer {

// A project backend that can read plans before they are opened, told which ones come next.
class PlanLookahead {
public:
    virtual ~PlanLookahead() = default;
    // The run is at list position `step` and opens `paths` next, in order: paths[0] at `step`,
    // paths[1] at step + 1, and so on. Each call replaces the one before. An empty list ends the
    // lookahead: whatever was read ahead is let go.
    virtual void expectPlans(long step, const QStringList& paths) = 0;
};

// The lookahead of a project backend, or nullptr when it has none.
PlanLookahead* lookaheadOf(ProjectAutomation& automation);

// The host of an import run that tells a lookahead which entries the run opens next: when the
// run starts, when it reads an entry and after each time it yields (the user may have removed or
// moved entries meanwhile). Everything else passes to the host it wraps unchanged, so the run
// sees the same host; reading the entries ahead never disturbs the run (a failure there only
// shortens the lookahead). Without a lookahead it is the wrapped host alone.
class LookaheadHost : public ImportHost {
public:
    // The current entry and this many after it are announced.
    static constexpr int kEntriesAhead = 2;

    LookaheadHost(ImportHost& host, PlanLookahead* lookahead) : host_(host), lookahead_(lookahead) {}
    ~LookaheadHost() override;
    LookaheadHost(const LookaheadHost&) = delete;
    LookaheadHost& operator=(const LookaheadHost&) = delete;

    int entryCount() override { return host_.entryCount(); }
    QString entryText(int position) override;
    bool oneSheetLayout() override { return host_.oneSheetLayout(); }
    std::vector<Column> columns() override { return host_.columns(); }
    SheetOptions sheetOptions() override { return host_.sheetOptions(); }
    RowSelection rowSelection() override { return host_.rowSelection(); }
    void setProgressValue(double percent) override { host_.setProgressValue(percent); }
    void setProgressText(const QString& text) override { host_.setProgressText(text); }
    void progress(int position, int count, const QString& fileName) override {
        host_.progress(position, count, fileName);
    }
    void setBusy(bool busy) override { host_.setBusy(busy); }
    void yield() override;
    void setRunning(bool running) override;

private:
    void announce();
    void end();

    ImportHost& host_;
    PlanLookahead* lookahead_;
    bool running_ = false;
    int step_ = 0;     // the position the run read last (0: none yet)
    QString current_;  // the text it read there, which it opens next
};

}  // namespace quorrix::importer

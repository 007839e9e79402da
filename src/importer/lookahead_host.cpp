#include "importer/lookahead_host.h"

namespace quorrix::importer {

PlanLookahead* lookaheadOf(ProjectAutomation& automation) { return dynamic_cast<PlanLookahead*>(&automation); }

LookaheadHost::~LookaheadHost() { end(); }

QString LookaheadHost::entryText(int position) {
    QString text = host_.entryText(position);
    step_ = position;
    current_ = text;
    announce();
    return text;
}

void LookaheadHost::yield() {
    host_.yield();
    announce();
}

void LookaheadHost::setRunning(bool running) {
    host_.setRunning(running);
    if (running) {
        running_ = true;
        step_ = 0;
        current_.clear();
        announce();
    } else {
        end();
    }
}

void LookaheadHost::announce() {
    if (!lookahead_ || !running_) return;
    // The run reads the entry after the one it read last; until it has read one, the first.
    QStringList paths;
    if (step_ > 0) paths << current_;
    try {
        const int count = host_.entryCount();
        for (int p = step_ + 1; p <= count && paths.size() <= kEntriesAhead; ++p) paths << host_.entryText(p);
    } catch (...) {
        // An entry that cannot be read ahead is read by the run in its turn, which reports the
        // failure there; the lookahead ends before it.
    }
    lookahead_->expectPlans(step_ > 0 ? step_ : 1, paths);
}

void LookaheadHost::end() {
    if (!running_) return;
    running_ = false;
    if (lookahead_) lookahead_->expectPlans(1, {});
}

}  // namespace quorrix::importer

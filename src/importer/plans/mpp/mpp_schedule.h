#pragma once

#include <QString>
#include <unordered_map>
#include <utility>
#include <vector>

#include "importer/plans/common/plan.h"
#include "importer/plans/common/schedule.h"
#include "importer/plans/mpp/mpp_blocks.h"
#include "importer/plans/mpp/mpp_fields.h"

// The parts of an .mpp plan's schedule that lie outside the task records: the plan's settings,
// the link table, the names of the custom fields and the outline codes' values.
namespace quorrix::importer::plans::mpp {

// What turns the plan's minutes into shown durations, and its critical slack limit.
struct ScheduleSettings {
    DurationUnits units;
    double criticalSlackTenths = 0;
};
// From the project properties: the same keys in every .mpp format (Project 98 has no days per
// month and keeps 20).
ScheduleSettings scheduleSettings(const Props& props);

// The names the plan gives its custom task fields, as slot and name. Project 2000 and 2003 keep
// them as texts back to back in the project properties, later versions as (field ID, offset)
// pairs in the task table's properties.
std::vector<std::pair<int, QString>> mpp9Aliases(Bytes value);
std::vector<std::pair<int, QString>> mpp12Aliases(Bytes value);

// The links of a link table ("TBkndCons"), in its order; deleted ones left out.
std::vector<PlanLink> mppLinks(bool lagFirst, Bytes fixedMeta, Bytes fixedData);
std::vector<PlanLink> mpp8Links(Bytes fixFix);

// The texts of outline-code values, from the table "TBkndOutlCode": a value stands for an entry of
// the plan's list of codes, shown with its parents from the top, joined by ".".
class OutlineCodes {
public:
    OutlineCodes(Format format, int applicationVersion, Bytes fixedMeta, Bytes fixedData, Bytes varMeta,
                 Bytes var2Data);
    // The text a task's reference (the value of an outline code's reference field) stands for.
    QString text(Bytes reference);

    // True when a task's value of another custom field (a text, a number, ...) is not a value of
    // its own but a reference to an entry of the field's value list: 26 bytes, led by a mask
    // 0x07nn and the entry's unique ID.
    static bool isListReference(Bytes value);
    // The bytes of the value-list entry such a reference names (its value, stored as the field's
    // own values are); nullopt when the plan has no such entry.
    std::optional<Bytes> listEntry(Bytes reference);
    // The same entry's value as a text (each entry's text made once).
    QString listText(Bytes reference) { return entryText(reference.i32(2), kEntryValueKey); }

private:
    static constexpr int kEntryValueKey = 22;  // of a list entry's value in the var data (MPP12/14)

    QString entryText(qint32 id, int key);
    QString pathOf(qint32 itemId);

    bool mpp9_;
    std::optional<VarMeta> var_;
    Bytes var2Data_;
    std::unordered_map<qint32, qint32> parentOf_;  // list entry's unique ID → its parent's
    std::unordered_map<qint64, QString> texts_;
    qint64 budget_;
};

// The Predecessors and Successors texts and Critical (of a task whose Total Slack is known) of
// every task, once the positions (the details of each, null for a blank row; position k holds
// ID k + 1) are known.
void finishSchedule(const std::vector<TaskDetails*>& positions, const std::vector<PlanLink>& links,
                    const ScheduleSettings& settings);

// The schedule fields a Project 98 task record holds (the slack only in the records Project 98
// writes itself); Critical and the links wait for finishSchedule. `texts` makes the duration texts
// by the plan's settings, `dates` the dates.
void readMpp8Schedule(Bytes record, double durationMinutes, const ScheduleSettings& settings, DurationTexts& texts,
                      Timestamps& dates, TaskDetails& d);

}  // namespace quorrix::importer::plans::mpp

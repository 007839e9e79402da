#pragma once

#include "importer/plans/common/plan.h"
#include "importer/plans/mpp/mpp_bytes.h"
#include "importer/plans/mpp/mpp_details.h"
#include "importer/plans/mpp/mpp_fields.h"

// The task list of an .mpp plan, worked out from the task streams the way Project's Tasks
// collection shows it: one record per unique ID, deleted records and the summary task left out,
// positions computed from the sort key (stored IDs can be stale), blank rows kept as positions.
namespace quorrix::importer::plans::mpp {

// The streams of "TBkndTask" for MPP9, MPP12 and MPP14 (Fixed2 streams unused for MPP9), already
// freed of any obfuscation.
struct TaskStreams {
    Format format = Format::Mpp9;
    int applicationVersion = 0;  // 14 = Project 2010, 15 = 2013, 16 = 2016 and later
    Bytes fixedMeta, fixedData, fixed2Meta, fixed2Data, varMeta, var2Data;
};

// Throws quorrix::Failure when a block is not what its kind must be. With `details` the tasks
// carry their TaskDetails as well.
Plan decodeTasks(const TaskStreams& streams, const FieldMap& fields, const DetailTables* details = nullptr);

// Project 98: fixed records of "FixFix   0" and names in "FixDeferFix   0". With `details` the
// tasks carry the TaskDetails a Project 98 record holds (see readMpp8Details) and their resource
// names.
Plan decodeMpp8Tasks(Bytes fixFix, Bytes fixDeferFix, const Mpp8Tables* details = nullptr);

}  // namespace quorrix::importer::plans::mpp

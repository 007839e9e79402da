#pragma once

#include "importer/plans/common/plan.h"

namespace quorrix::importer::plans {

// The deepest outline level a plan can nest; a deeper stored level counts as this one.
inline constexpr int kMaxOutlineLevel = 100;

// The outline level a task's stored level stands for. Project's levels are whole numbers from 1;
// anything else is read so that every task still gets a place in the outline: no level, a level
// below 1 (or not a number) counts as 1, a fraction as its whole part, a level beyond
// kMaxOutlineLevel as kMaxOutlineLevel.
int outlineLevelOf(const std::optional<double>& stored);

// The step every reader ends with. For the tasks with details, in ID order (blank rows take an ID
// but no place in the outline), it fills in what the file does not store:
// - the ID: the task's position;
// - the outline number: from the outline levels, each level's counter counting the tasks at that
//   level since the last task above it, so that levels 1, 2, 2, 1 give 1, 1.1, 1.2, 2; a task more
//   than one level deeper than the one before numbers the levels it skips 1 (levels 1, 3 give 1
//   and 1.1.1), as Project never writes a 0 in an outline number;
// - the WBS code: the outline number;
// - the summary flag: whether the next task is deeper.
// A stored value is always kept, and a stored outline number still counts in the numbering.
// A plan read for only some details (`options.only`) gets none of this: those details are never
// among the derived ones.
void finishPlan(Plan& plan, const ReadOptions& options = {});

}  // namespace quorrix::importer::plans

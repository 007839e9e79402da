#pragma once

#include <memory>
#include <vector>

#include <QtGlobal>

#include "importer/plans/common/plan.h"

namespace quorrix::importer::plans {

// The details of a plan's tasks, made in blocks rather than with an allocation each: every task's
// pointer shares the ownership of all the blocks, which go when the last of them does.
class DetailsPool {
  public:
    // `expected`: how many the plan may ask for (its records), which sizes the first block.
    explicit DetailsPool(qint64 expected = 16) : expected_(expected) {}
    std::shared_ptr<TaskDetails> make();

  private:
    struct Blocks {
        std::vector<std::unique_ptr<TaskDetails[]>> blocks;
    };
    std::shared_ptr<Blocks> owner_;
    qint64 expected_;
    TaskDetails* next_ = nullptr;
    std::size_t left_ = 0;
};

}  // namespace quorrix::importer::plans

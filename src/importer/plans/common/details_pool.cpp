#include "importer/plans/common/details_pool.h"

#include <algorithm>

namespace quorrix::importer::plans {

std::shared_ptr<TaskDetails> DetailsPool::make() {
    if (left_ == 0) {
        // The first block as large as the plan may need, the next ones growing: a small plan
        // constructs few records it does not use, a large (or hostile) one no more than a block ahead.
        constexpr qint64 kLargest = 256;
        if (!owner_) owner_ = std::make_shared<Blocks>();
        const std::size_t made = owner_->blocks.size();
        const qint64 size = made == 0 ? std::clamp<qint64>(expected_, 1, kLargest)
                                      : std::min<qint64>(qint64(16) << std::min<std::size_t>(made, 4), kLargest);
        owner_->blocks.emplace_back(new TaskDetails[size]);  // constructed, not zeroed first
        next_ = owner_->blocks.back().get();
        left_ = static_cast<std::size_t>(size);
    }
    --left_;
    return std::shared_ptr<TaskDetails>(owner_, next_++);
}

}  // namespace quorrix::importer::plans

#include "importer/plan_project.h"

#include "importer/plans/common/schedule.h"
#include "importer/plans/plan_reader.h"
#include "platform/failure.h"

namespace quorrix::importer {

using plans::Plan;
using plans::PlanTask;
using plans::TaskDetails;

namespace {

constexpr int kServerUnavailable = 462;
constexpr int kArgumentNotValid = 1101;

// The plan of one application while it is open. Handles keep it alive; closing it marks it
// closed so that a handle kept beyond FileClose fails instead of reading a closed plan.
struct OpenPlan {
    Plan plan;
    bool open = true;
};

void requireOpen(const OpenPlan& plan) {
    if (!plan.open)
        throw Failure(failure_number::kAutomation, QStringLiteral("The project is no longer open."));
}

class PlanTaskHandle : public ProjectTask {
public:
    PlanTaskHandle(std::shared_ptr<const OpenPlan> plan, std::size_t index) : plan_(std::move(plan)), index_(index) {}

    Value name() override { return task().name; }
    Value duration() override { return task().durationMinutes; }
    Value start() override { return date(task().start); }
    Value finish() override { return date(task().finish); }
    Value field(TaskField which) override;
    Value customField(long fieldId) override;

private:
    const PlanTask& task() const {
        requireOpen(*plan_);
        return *plan_->plan.positions[index_];
    }
    // The project application shows a missing date as the text "NA".
    static Value date(const QDateTime& value) {
        if (!value.isValid()) return QStringLiteral("NA");
        return value;
    }

    std::shared_ptr<const OpenPlan> plan_;
    std::size_t index_;
};

Value PlanTaskHandle::field(TaskField which) {
    const PlanTask& whole = task();
    if (!whole.details) return {};
    const TaskDetails& d = *whole.details;
    const auto number = [](const std::optional<double>& v) -> Value {
        if (!v) return {};
        return *v;
    };
    const auto flag = [](const std::optional<bool>& v) -> Value {
        if (!v) return {};
        return *v ? QStringLiteral("Yes") : QStringLiteral("No");
    };
    const auto text = [](const QString& v) -> Value {
        if (v.isEmpty()) return {};
        return v;
    };
    switch (which) {
    case TaskField::Project: return text(d.project);
    case TaskField::Id: return number(d.id);
    case TaskField::ActivityId: return text(d.activityId);
    case TaskField::UniqueId: return number(d.uniqueId);
    case TaskField::OutlineLevel: return number(d.outlineLevel);
    case TaskField::OutlineNumber: return text(d.outlineNumber);
    case TaskField::Wbs: return text(d.wbs);
    case TaskField::PercentComplete: return number(d.percentComplete);
    case TaskField::Milestone: return flag(d.milestone);
    case TaskField::Summary: return flag(d.summary);
    case TaskField::BaselineStart: return date(d.baselineStart);
    case TaskField::BaselineFinish: return date(d.baselineFinish);
    case TaskField::BaselineDuration: return number(d.baselineDurationMinutes);
    case TaskField::ActualStart: return date(d.actualStart);
    case TaskField::ActualFinish: return date(d.actualFinish);
    case TaskField::Cost: return number(d.cost);
    case TaskField::Work: return number(d.workMinutes);
    case TaskField::Notes: return text(d.notes);
    case TaskField::ResourceNames: return text(d.resourceNames);
    default: break;
    }
    const plans::ScheduleFields& s = d.schedule;
    const auto optionalDate = [](const std::optional<QDateTime>& v) -> Value {
        if (!v) return {};
        return date(*v);
    };
    const auto word = [](const std::optional<int>& v, QString (*name)(int)) -> Value {
        if (!v) return {};
        const QString w = name(*v);
        if (w.isEmpty()) return {};
        return w;
    };
    switch (which) {
    case TaskField::Predecessors: return text(s.predecessors);
    case TaskField::Successors: return text(s.successors);
    case TaskField::TotalSlack: return number(s.totalSlackMinutes);
    case TaskField::FreeSlack: return number(s.freeSlackMinutes);
    case TaskField::Critical: return flag(s.critical);
    case TaskField::ConstraintType: return word(s.constraintType, plans::constraintTypeName);
    case TaskField::ConstraintDate: return optionalDate(s.constraintDate);
    case TaskField::Deadline: return optionalDate(s.deadline);
    case TaskField::Priority: return number(s.priority);
    case TaskField::EarlyStart: return optionalDate(s.earlyStart);
    case TaskField::EarlyFinish: return optionalDate(s.earlyFinish);
    case TaskField::LateStart: return optionalDate(s.lateStart);
    case TaskField::LateFinish: return optionalDate(s.lateFinish);
    case TaskField::TaskType: return word(s.taskType, plans::taskTypeName);
    case TaskField::TaskMode:
        if (!s.manual) return {};
        return *s.manual ? QStringLiteral("Manually Scheduled") : QStringLiteral("Auto Scheduled");
    case TaskField::Active: return flag(s.active);
    case TaskField::Estimated: return flag(s.estimated);
    case TaskField::DurationShown: return text(s.durationShown);
    case TaskField::DurationDays: return number(s.durationDays);
    case TaskField::BaselineDurationShown: return text(s.baselineDurationShown);
    case TaskField::BaselineDurationDays: return number(s.baselineDurationDays);
    default: return {};
    }
}

// A custom field the plan holds but the task leaves unset shows the field's default.
Value PlanTaskHandle::customField(long fieldId) {
    const PlanTask& whole = task();
    const auto slot = plans::customSlotOfId(fieldId);
    if (!slot || !whole.details || !plan_->plan.customHeld.test(static_cast<std::size_t>(*slot))) return {};
    const plans::CustomValue* v = whole.details->customValue(*slot);
    switch (plans::customKindOf(*slot)) {
    case plans::CustomKind::Text:
    case plans::CustomKind::OutlineCode:
        if (!v || v->text.isEmpty()) return {};
        return v->text;
    case plans::CustomKind::Flag: return v && v->number != 0 ? QStringLiteral("Yes") : QStringLiteral("No");
    case plans::CustomKind::Date:
    case plans::CustomKind::Start:
    case plans::CustomKind::Finish: return date(v ? v->date : QDateTime());
    case plans::CustomKind::Number:
    case plans::CustomKind::Duration:
    case plans::CustomKind::Cost: return v ? v->number : 0.0;
    }
    return {};
}

class PlanActiveProject : public ActiveProject {
public:
    explicit PlanActiveProject(std::shared_ptr<const OpenPlan> plan) : plan_(std::move(plan)) {}

    long tasksCount() override {
        requireOpen(*plan_);
        return static_cast<long>(plan_->plan.positions.size());
    }

    std::unique_ptr<ProjectTask> taskItem(long t) override {
        requireOpen(*plan_);
        const auto& positions = plan_->plan.positions;
        if (t < 1 || static_cast<std::size_t>(t) > positions.size())
            throw Failure(kArgumentNotValid, QStringLiteral("The argument value is not valid."));
        const auto index = static_cast<std::size_t>(t - 1);
        if (!positions[index]) return nullptr;
        return std::make_unique<PlanTaskHandle>(plan_, index);
    }

    QString customFieldName(long fieldId) override {
        requireOpen(*plan_);
        const auto slot = plans::customSlotOfId(fieldId);
        if (!slot) return {};
        for (const auto& [aliased, alias] : plan_->plan.customAliases)
            if (aliased == *slot) return alias;
        return {};
    }

    long customFieldOfName(const QString& name) override {
        requireOpen(*plan_);
        for (const auto& [slot, alias] : plan_->plan.customAliases)
            if (alias.compare(name, Qt::CaseInsensitive) == 0) return plans::customFieldId(slot);
        return 0;
    }

private:
    std::shared_ptr<const OpenPlan> plan_;
};

class PlanProjectApplication : public ProjectApplication {
public:
    PlanProjectApplication(PlanProjectAutomation::Reader reader, std::shared_ptr<const plans::ReadOptions> options)
        : reader_(std::move(reader)), options_(std::move(options)) {}
    ~PlanProjectApplication() override { close(); }

    void fileOpen(const QString& path, bool /*readOnly: plans are only ever read*/) override {
        running();
        close();  // one plan at a time; a failed open leaves none
        auto plan = std::make_shared<OpenPlan>();
        plan->plan = reader_(path, *options_);
        plan_ = std::move(plan);
    }

    void setVisible(bool on) override {
        running();
        visible_ = on;
    }

    int projectsCount() override {
        running();
        return plan_ ? 1 : 0;
    }

    std::unique_ptr<ActiveProject> activeProject() override {
        running();
        if (!plan_) return nullptr;
        return std::make_unique<PlanActiveProject>(plan_);
    }

    void fileClose(int /*save: nothing is ever saved*/) override {
        running();
        if (!plan_) throw Failure(failure_number::kAutomation, QStringLiteral("There is no open project to close."));
        close();
    }

    void quit() override {
        running();
        close();
        quit_ = true;
    }

private:
    void running() const {
        if (quit_)
            throw Failure(kServerUnavailable, QStringLiteral("The remote server machine does not exist or is unavailable"));
    }
    void close() {
        if (plan_) plan_->open = false;
        plan_.reset();
    }

    PlanProjectAutomation::Reader reader_;
    std::shared_ptr<const plans::ReadOptions> options_;
    std::shared_ptr<OpenPlan> plan_;
    bool visible_ = false;
    bool quit_ = false;
};

}  // namespace

PlanProjectAutomation::PlanProjectAutomation(Reader reader)
    : reader_(reader ? std::move(reader) : Reader([](const QString& path, const plans::ReadOptions& options) {
          return plans::readPlanFile(path, options);
      })) {}

PlanProjectAutomation::~PlanProjectAutomation() = default;

std::unique_ptr<ProjectApplication> PlanProjectAutomation::create(const QString& progId) {
    if (progId.compare(QLatin1String("MSProject.Application"), Qt::CaseInsensitive) != 0)
        throw Failure(failure_number::kCannotCreateObject, QStringLiteral("ActiveX component can't create object"));
    return std::make_unique<PlanProjectApplication>(reader_, options_);
}

}  // namespace quorrix::importer

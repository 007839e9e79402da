#include "support/served_project.h"

#include "importer/automation/value.h"
#include "platform/failure.h"

namespace quorrix::testing {
namespace {

using importer::Value;

class ServedTaskHandle : public importer::ProjectTask {
public:
    ServedTaskHandle(const ServedProject& p, QString path, long t, const ServedTask& task)
        : p_(p), path_(std::move(path)), t_(t), task_(task) {}
    Value name() override { p_.check(path_, ServedProject::Name, t_); return task_.name; }
    Value duration() override { p_.check(path_, ServedProject::Duration, t_); return task_.duration; }
    Value start() override { p_.check(path_, ServedProject::Start, t_); return task_.start; }
    Value finish() override { p_.check(path_, ServedProject::Finish, t_); return task_.finish; }
    Value field(importer::TaskField which) override {
        p_.check(path_, ServedProject::Field, t_);
        return task_.fields.value(static_cast<int>(which));
    }

private:
    const ServedProject& p_;
    QString path_;
    long t_;
    ServedTask task_;
};

class ServedActive : public importer::ActiveProject {
public:
    ServedActive(ServedProject& p, QString path) : p_(p), path_(std::move(path)) {}
    long tasksCount() override {
        p_.log << "TasksCount " + path_;
        p_.check(path_, ServedProject::TasksCount);
        return static_cast<long>(p_.plan(path_)->size());
    }
    std::unique_ptr<importer::ProjectTask> taskItem(long t) override {
        p_.check(path_, ServedProject::TaskItem, t);
        const auto& positions = *p_.plan(path_);
        if (t < 1 || t > static_cast<long>(positions.size()))
            throw Failure(failure_number::kSubscriptOutOfRange, QStringLiteral("The argument value is not valid."));
        const auto& task = positions[static_cast<size_t>(t - 1)];
        if (!task) return nullptr;
        return std::make_unique<ServedTaskHandle>(p_, path_, t, *task);
    }

private:
    ServedProject& p_;
    QString path_;
};

class ServedApplication : public importer::ProjectApplication {
public:
    explicit ServedApplication(ServedProject& p) : p_(p) { ++p_.applicationsAlive; }
    ~ServedApplication() override { --p_.applicationsAlive; }

    void fileOpen(const QString& path, bool readOnly) override {
        p_.log << QStringLiteral("FileOpen%1 ").arg(readOnly ? " ReadOnly" : "") + path;
        p_.check(path, ServedProject::FileOpen);
        if (!p_.plan(path)) throw Failure(1004, QStringLiteral("The file \"%1\" does not exist.").arg(path));
        open_ = path;
    }
    void setVisible(bool) override { p_.check(open_, ServedProject::Visible); }
    int projectsCount() override {
        p_.check(open_, ServedProject::ProjectsCount);
        return open_.isEmpty() ? 0 : 1;
    }
    std::unique_ptr<importer::ActiveProject> activeProject() override {
        p_.check(open_, ServedProject::ActiveProject);
        if (open_.isEmpty() || !p_.hasActiveProject(open_)) return nullptr;
        return std::make_unique<ServedActive>(p_, open_);
    }
    void fileClose(int save) override {
        p_.log << QStringLiteral("FileClose %1 ").arg(save) + open_;
        p_.check(open_, ServedProject::FileClose);
        open_.clear();
    }
    void quit() override {
        p_.log << QStringLiteral("Quit");
        p_.check(open_, ServedProject::Quit);
    }

private:
    ServedProject& p_;
    QString open_;
};

}  // namespace

std::unique_ptr<importer::ProjectApplication> ServedProject::create(const QString& progId) {
    log << "Create " + progId;
    check(QString(), Create);
    ++applicationsCreated;
    return std::make_unique<ServedApplication>(*this);
}

void ServedProject::check(const QString& path, Op op, long position) const {
    if (failures_.contains(key(path, op, position)) || (position != 0 && failures_.contains(key(path, op, 0))))
        throw Failure(1100 + op, QStringLiteral("Served failure %1").arg(static_cast<int>(op)));
}

std::vector<std::optional<ServedTask>> tasks(const QString& prefix, int count) {
    std::vector<std::optional<ServedTask>> out;
    for (int i = 1; i <= count; ++i) {
        const QDateTime start = importer::wallClock(QDate(2024, 3, 4).addDays(i - 1), QTime(8, 0));
        out.push_back(ServedTask{prefix + QString::number(i), 60.0 * i, start, start.addSecs(3600 * i), {}});
    }
    return out;
}

}  // namespace quorrix::testing

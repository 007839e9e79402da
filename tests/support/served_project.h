#pragma once

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "importer/automation/automation.h"

namespace quorrix::testing {

struct ServedTask {
    QString name;
    double duration = 0;
    QDateTime start;
    QDateTime finish;
    // Further fields (Task.GetField); a field not given is served as nothing.
    QMap<int, importer::Value> fields;
};

// A project backend that serves chosen plans: chosen tasks, blank positions, and failures at
// chosen operations. Every operation is logged as "<operation> <path>".
class ServedProject : public importer::ProjectAutomation {
public:
    enum Op { Create, FileOpen, Visible, ProjectsCount, ActiveProject, TasksCount, TaskItem, Name, Duration, Start, Finish, Field, FileClose, Quit };

    void serve(const QString& path, std::vector<std::optional<ServedTask>> positions) { plans_[path] = std::move(positions); }
    // The operation fails for this path (for the task operations: at this task position only, 0 for all).
    void failAt(const QString& path, Op op, long position = 0) { failures_.insert(key(path, op, position)); }
    // The plan opens, but the application shows no active project.
    void withoutActiveProject(const QString& path) { noActive_.insert(path); }

    std::unique_ptr<importer::ProjectApplication> create(const QString& progId) override;

    QStringList log;
    int applicationsCreated = 0;
    int applicationsAlive = 0;

    // Used by the application objects.
    void check(const QString& path, Op op, long position = 0) const;
    const std::vector<std::optional<ServedTask>>* plan(const QString& path) const {
        const auto it = plans_.find(path);
        return it == plans_.end() ? nullptr : &*it;
    }
    bool hasActiveProject(const QString& path) const { return !noActive_.contains(path); }

private:
    static QString key(const QString& path, Op op, long position) {
        return path + QChar(0) + QString::number(op) + QChar(0) + QString::number(position);
    }
    QMap<QString, std::vector<std::optional<ServedTask>>> plans_;
    QSet<QString> failures_;
    QSet<QString> noActive_;
};

// Three tasks named <prefix>1.. with durations 60, 120, ... and dates on 2024-03-04 onward.
std::vector<std::optional<ServedTask>> tasks(const QString& prefix, int count);

}  // namespace quorrix::testing

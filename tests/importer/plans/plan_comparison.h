#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

#include "importer/plans/common/plan.h"

// What the plan-reader tests compare a plan with its twin by.
namespace quorrix::importer::plans::testing {

inline QString describe(const std::optional<PlanTask>& task) {
    if (!task) return QStringLiteral("<blank>");
    return QStringLiteral("\"%1\" %2 min %3 - %4")
        .arg(task->name)
        .arg(task->durationMinutes)
        .arg(task->start.toString(Qt::ISODate), task->finish.toString(Qt::ISODate));
}

// The differences between two plans, one line each; empty when they are equal. With `dayOnly`
// starts and finishes are compared by their date.
inline QStringList differences(const Plan& actual, const Plan& expected, bool dayOnly = false,
                               double tolerance = 0.01) {
    QStringList out;
    if (actual.positions.size() != expected.positions.size()) {
        out << QStringLiteral("%1 positions instead of %2").arg(actual.positions.size()).arg(expected.positions.size());
    }
    const size_t n = std::min(actual.positions.size(), expected.positions.size());
    for (size_t i = 0; i < n; ++i) {
        const auto& a = actual.positions[i];
        const auto& e = expected.positions[i];
        bool same = a.has_value() == e.has_value();
        if (same && a) {
            const auto sameTime = [dayOnly](const QDateTime& x, const QDateTime& y) {
                return dayOnly ? x.date() == y.date() : x == y;
            };
            same = a->name == e->name && std::abs(a->durationMinutes - e->durationMinutes) <= tolerance &&
                   sameTime(a->start, e->start) && sameTime(a->finish, e->finish);
        }
        if (!same) out << QStringLiteral("position %1: %2, expected %3").arg(i + 1).arg(describe(a), describe(e));
    }
    return out;
}

// The fields of one comma-separated line of an .mpx file, quotes undone.
inline QStringList csvFields(const QByteArray& line) {
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                field += QLatin1Char('"');
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += QChar::fromLatin1(c);
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields << field;
            field.clear();
        } else if (c != '\r' && c != '\n') {
            field += QChar::fromLatin1(c);
        }
    }
    fields << field;
    return fields;
}

// The task rows of an .mpx file by ID, each as field number → text (record 61 names the fields
// of the 70 records); nothing when the file cannot be opened.
inline std::optional<std::map<int, std::map<int, QString>>> mpxTaskRecords(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    std::map<int, std::map<int, QString>> tasks;
    QList<int> layout;
    while (!file.atEnd()) {
        const QStringList f = csvFields(file.readLine());
        if (f.isEmpty()) continue;
        if (f[0] == QLatin1String("61")) {
            layout.clear();
            for (qsizetype i = 1; i < f.size(); ++i) layout << f[i].toInt();
        } else if (f[0] == QLatin1String("70")) {
            std::map<int, QString> value;
            for (qsizetype i = 1; i < f.size() && i - 1 < layout.size(); ++i) value[layout[i - 1]] = f[i];
            const int id = value[90].toInt();
            if (id > 0) tasks[id] = value;
        }
    }
    return tasks;
}

}  // namespace quorrix::importer::plans::testing

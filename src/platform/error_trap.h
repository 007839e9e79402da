#pragma once

#include <QString>
#include <exception>
#include <optional>
#include <utility>

#include "platform/dialogs.h"
#include "platform/failure.h"

namespace quorrix {

// The location text of a reporting procedure, e.g. "Form1.Form_Load" gives
// "in Tessaline2016/11/03.Form1.Form_Load ".
QString locationText(const QString& procedure);

// The whole "Application Error" message for one failure.
QString reportText(const QString& locationText, const QString& description, int line);

// Shows the "Application Error" report (warning icon, OK only) through the provider's reportError.
void ReportProcedureError(DialogProvider& dialogs, const QString& locationText, const QString& description,
                          int line);

// The error trap of one call of a reporting procedure. Each numbered statement runs through it:
// a failure shows the report with the statement's line number, and the procedure goes on with
// the statement after the failing one. A failing block test counts as passed.
class ErrorTrap {
public:
    ErrorTrap(const QString& procedure, DialogProvider& dialogs)
        : location_(locationText(procedure)), dialogs_(dialogs) {}

    // Runs a statement; true when it completed, false when it failed and was reported.
    template <class Statement>
    bool step(int line, Statement&& statement) {
        try {
            std::forward<Statement>(statement)();
            return true;
        } catch (...) {
            report(line, std::current_exception());
            return false;
        }
    }

    // Evaluates the condition of a block test; a condition whose evaluation fails counts as true.
    template <class Condition>
    bool test(int line, Condition&& condition) {
        try {
            return static_cast<bool>(std::forward<Condition>(condition)());
        } catch (...) {
            report(line, std::current_exception());
            return true;
        }
    }

    // Evaluates an expression whose value the procedure needs; nothing when it failed.
    template <class Expression>
    auto value(int line, Expression&& expression) -> std::optional<decltype(expression())> {
        try {
            return std::forward<Expression>(expression)();
        } catch (...) {
            report(line, std::current_exception());
            return std::nullopt;
        }
    }

    int reportCount() const { return reports_; }
    const QString& location() const { return location_; }

private:
    void report(int line, std::exception_ptr failure);

    QString location_;
    DialogProvider& dialogs_;
    int reports_ = 0;
};

// The one-line description of any failure that reached a trap.
QString describeFailure(std::exception_ptr failure);

}  // namespace quorrix

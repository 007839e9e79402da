#include "platform/error_trap.h"

#include <new>

#include "platform/config.h"

namespace quorrix {

QString locationText(const QString& procedure) {
    return config::kLocationPrefix + procedure + QLatin1Char(' ');
}

QString reportText(const QString& locationText, const QString& description, int line) {
    return description + QStringLiteral("\r\n") + locationText + QStringLiteral("at line ") + QString::number(line) +
           QStringLiteral("\r\r") + QStringLiteral("Please email screenshot of this message to ") +
           config::kSupportEmail;
}

void ReportProcedureError(DialogProvider& dialogs, const QString& locationText, const QString& description,
                          int line) {
    dialogs.reportError(locationText, description, line);
}

QString describeFailure(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const Failure& f) {
        return f.description();
    } catch (const std::bad_alloc&) {
        return QStringLiteral("Out of memory");
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("Unexpected failure");
    }
}

void ErrorTrap::report(int line, std::exception_ptr failure) {
    ++reports_;
    const QString description = describeFailure(failure);
    try {
        ReportProcedureError(dialogs_, location_, description, line);
    } catch (...) {
        // A report that cannot be shown must not stop the procedure.
    }
}

}  // namespace quorrix

#pragma once

#include <QString>

namespace quorrix::config {

inline const QString kProductName = QStringLiteral("Quorrix");

// Where users send screenshots of the "Application Error" report.
inline const QString kSupportEmail = QStringLiteral("support@veltrano.com");

// Every location text of the error report starts with this.
inline const QString kLocationPrefix = QStringLiteral("in Tessaline2016/11/03.");

// The per-user settings store: application and section.
inline const QString kSettingsApplication = QStringLiteral("Veltrano");
inline const QString kSettingsSection = QStringLiteral("Quorrix");

}  // namespace quorrix::config

#pragma once

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

#include "app/form1.h"
#include "app/settings.h"
#include "support/scripted_dialogs.h"

namespace quorrix::testing {

// A main window wired to scripted dialogs, a throw-away settings file and a throw-away
// installation folder; the process never ends from inside a test.
class FormFixture : public ::testing::Test {
protected:
    void SetUp() override;
    // Builds the window; call after arranging the installation folder and the settings.
    Form1& makeForm();
    // A file in the installation folder, with its folders made.
    QString installFile(const QString& relative, const QByteArray& content);

    QTemporaryDir dir;
    QString installFolder;
    std::unique_ptr<Settings> settings;
    ScriptedDialogs dialogs;
    importer::SpreadsheetAutomation* spreadsheet = nullptr;
    importer::ProjectAutomation* project = nullptr;
    std::unique_ptr<Form1> form;
    int exitCalls = 0;
};

}  // namespace quorrix::testing

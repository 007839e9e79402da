#include "support/form_fixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quorrix::testing {

void FormFixture::SetUp() {
    ASSERT_TRUE(dir.isValid());
    installFolder = dir.path() + QStringLiteral("/install");
    QDir().mkpath(installFolder);
    settings = std::make_unique<Settings>(dir.path() + QStringLiteral("/settings.ini"));
}

Form1& FormFixture::makeForm() {
    Form1::Services services;
    services.dialogs = &dialogs;
    services.settings = settings.get();
    services.spreadsheet = spreadsheet;
    services.project = project;
    services.installFolder = installFolder;
    services.exitProcess = [this](int) { ++exitCalls; };
    services.startupWaitSeconds = 0;
    form = std::make_unique<Form1>(services);
    return *form;
}

QString FormFixture::installFile(const QString& relative, const QByteArray& content) {
    const QString path = installFolder + QLatin1Char('/') + relative;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(content);
    return path;
}

}  // namespace quorrix::testing

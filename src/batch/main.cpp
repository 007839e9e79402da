// quorrix-batch: the import run of the window, from the command line.
#include <QCoreApplication>

#include "batch/batch_run.h"
#include "platform/file_names.h"
#include "platform/open_file_limit.h"

int main(int argc, char* argv[]) {
    quorrix::raiseOpenFileLimit();
    QCoreApplication app(argc, argv);
    // The arguments as the system gave them: a name that is no UTF-8 keeps its bytes.
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << quorrix::decodeFileName(QByteArray(argv[i]));
    return quorrix::batch::runCommandLine(arguments);
}

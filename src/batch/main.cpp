// quorrix-batch: the import run of the window, from the command line.
#include <QCoreApplication>

#include "batch/batch_run.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return quorrix::batch::runCommandLine(arguments);
}

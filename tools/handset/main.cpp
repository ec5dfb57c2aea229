#include "HandsetCommand.h"
#include "config/AppPaths.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    AppPaths::applyInstalledLayout(); // installed, the bench lives with the tool's data
    HandsetCommand command;
    const int rc = command.run(app.arguments().mid(1));
    QTextStream(stdout) << command.out();
    QTextStream(stderr) << command.err();
    return rc;
}

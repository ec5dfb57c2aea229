#include "LedgerCommand.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    LedgerCommand command;
    const int rc = command.run(app.arguments().mid(1));
    QTextStream(stdout) << command.out();
    QTextStream(stderr) << command.err();
    return rc;
}

// Writes the RAM-run images the library names into <dir>/ramrun/, at build time.
#include "Bench.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream err(stderr);
    if (args.size() != 2) {
        err << "usage: tgtlink_lodgen OUTPUT_DIR\n";
        return 2;
    }
    QString error;
    const int written = Bench::writeRamrunImages(args.at(1), &error);
    if (written < 0) {
        err << error << '\n';
        return 1;
    }
    return 0;
}

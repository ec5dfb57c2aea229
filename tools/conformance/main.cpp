// tgtlink-conformance: tries every behaviour the tool relies on against a device backend, on a handset set aside
// for it, and prints a pass/fail table. Exit 0 only when every behaviour passes.
//
//   tgtlink-conformance --backend PATH [--options TEXT] --port NAME [--abort-bound MS]
#include "ConformanceRun.h"

#include "tgtlink/DeviceBackend.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Checks a device backend against what the tool relies on. "
                                                    "The handset on PORT is written to: set one aside for it."));
    parser.addHelpOption();
    const QCommandLineOption backend(QStringLiteral("backend"), QStringLiteral("Backend library or name."),
                                     QStringLiteral("PATH"));
    const QCommandLineOption options(QStringLiteral("options"), QStringLiteral("Text handed to the backend."),
                                     QStringLiteral("TEXT"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Port of the handset."),
                                  QStringLiteral("NAME"));
    const QCommandLineOption bound(QStringLiteral("abort-bound"),
                                   QStringLiteral("Milliseconds an operation may run after an abort (500)."),
                                   QStringLiteral("MS"), QStringLiteral("500"));
    parser.addOptions({backend, options, port, bound});
    parser.process(app);
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!parser.isSet(backend) || !parser.isSet(port)) {
        err << parser.helpText();
        return 2;
    }
    // RAM-run images and the station list are found beside the executable, as the tool finds them.
    const QString library = DeviceBackend::resolve(parser.value(backend));
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    if (!DeviceBackend::load(library, parser.value(options))) {
        err << DeviceBackend::error() << '\n';
        out << "load  FAIL  " << DeviceBackend::error() << '\n';
        return 1;
    }
    out << DeviceBackend::description() << ", port " << parser.value(port) << '\n';
    out.flush();
    ConformanceRun run(parser.value(port), parser.value(bound).toInt());
    const QList<ConformanceRun::Row> rows = run.run();
    out << ConformanceRun::table(rows);
    int failed = 0;
    for (const ConformanceRun::Row &row : rows)
        failed += row.passed ? 0 : 1;
    out << (failed == 0 ? QStringLiteral("all %1 behaviours pass").arg(rows.size())
                        : QStringLiteral("%1 of %2 behaviours fail").arg(failed).arg(rows.size()))
        << '\n';
    DeviceBackend::unload();
    return failed == 0 ? 0 : 1;
}

// handset-emulator: one bench handset on a serial line. Serves the handset's image with the serial-line protocol
// over a pseudo-terminal, whose device it prints first, and breaks the line as asked.
//
//   handset-emulator --handset PORT [--link PATH] [--noise P] [--drop P] [--delay MS]
//                    [--disconnect-every N --disconnect-ms MS] [--seed N]
#include "HandsetEmulator.h"
#include "PseudoTerminal.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>
#include <atomic>
#include <csignal>

namespace {
std::atomic<bool> stopRequested{false};

void onSignal(int)
{
    stopRequested = true;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A bench handset on an emulated serial line."));
    parser.addHelpOption();
    const QCommandLineOption handset(QStringLiteral("handset"), QStringLiteral("Bench port of the handset served."),
                                     QStringLiteral("PORT"));
    const QCommandLineOption link(QStringLiteral("link"), QStringLiteral("A symbolic link to the line's device."),
                                  QStringLiteral("PATH"));
    const QCommandLineOption noise(QStringLiteral("noise"), QStringLiteral("Chance per byte of a flipped bit."),
                                   QStringLiteral("P"), QStringLiteral("0"));
    const QCommandLineOption drop(QStringLiteral("drop"), QStringLiteral("Chance per byte that it is lost."),
                                  QStringLiteral("P"), QStringLiteral("0"));
    const QCommandLineOption delay(QStringLiteral("delay"), QStringLiteral("Milliseconds before each reply."),
                                   QStringLiteral("MS"), QStringLiteral("0"));
    const QCommandLineOption every(QStringLiteral("disconnect-every"),
                                   QStringLiteral("The line goes dead after every N requests."), QStringLiteral("N"),
                                   QStringLiteral("0"));
    const QCommandLineOption dead(QStringLiteral("disconnect-ms"), QStringLiteral("How long it stays dead."),
                                  QStringLiteral("MS"), QStringLiteral("500"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Seed of the line's faults."),
                                  QStringLiteral("N"), QStringLiteral("1"));
    parser.addOptions({handset, link, noise, drop, delay, every, dead, seed});
    parser.process(app);
    QTextStream err(stderr);
    if (!parser.isSet(handset)) {
        err << parser.helpText();
        return 2;
    }
    HandsetEmulator::LineFaults faults;
    faults.noise = parser.value(noise).toDouble();
    faults.drop = parser.value(drop).toDouble();
    faults.delayMs = parser.value(delay).toInt();
    faults.disconnectEvery = parser.value(every).toInt();
    faults.disconnectMs = parser.value(dead).toInt();
    faults.seed = parser.value(seed).toUInt();

    PseudoTerminal terminal;
    QString error;
    if (!terminal.open(&error)) {
        err << error << '\n';
        return 1;
    }
    if (parser.isSet(link)) {
        QFile::remove(parser.value(link));
        if (!QFile::link(terminal.slavePath(), parser.value(link))) {
            err << "cannot link " << parser.value(link) << '\n';
            return 1;
        }
    }
    QTextStream out(stdout);
    out << terminal.slavePath() << Qt::endl;
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    HandsetEmulator emulator(terminal, parser.value(handset), faults);
    emulator.run(stopRequested);
    if (parser.isSet(link))
        QFile::remove(parser.value(link));
    return 0;
}

// killtrial: the victim and the judge of the kill and power-cut loops (scripts/kill-loop.sh,
// scripts/powercut-loop.sh), and the holder process of the bench lock tests.
//
// The victims save factory data or append history records in a loop and print each one only once it is
// complete; the loop kills them at a random moment and asks the judge whether the handset or the file holds a
// mix of two records (mixed) or lacks one that was reported complete (lost). Runs with TGTLINK_BENCH and
// TGTLINK_STATIONS set and the runtime directory (ramrun/) current.
#include "support/BenchSession.h"

#include "Bench.h"
#include "BenchFaults.h"
#include "history/HistoryFiles.h"
#include "history/ImeiHistory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>

#include <cstdio>

namespace {

const char *const Usage = "usage: killtrial plug PORT | hold PORT | connect PORT | faults PORT | save PORT\n"
                          "       | append FILE | check-save PORT LAST | check-append FILE LAST | check-port PORT\n"
                          "       | powercut-save PORT TRIALS | powercut-append FILE TRIALS\n";

void say(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout); // the loop reads it after the kill: it must be out before the next step starts
}

// Record N: every field derives from N, so a mix of two records shows.
struct Record
{
    QStringList imeis;
    QString mbsn, psn, bt;
};

Record record(qint64 n)
{
    Record r;
    for (int i = 0; i < 4; ++i) {
        const std::string body =
            QStringLiteral("35%1%2").arg(n % 100000000000, 11, 10, QLatin1Char('0')).arg(i).toStdString();
        r.imeis.append(QString::fromStdString(FactorySet::AddIMEIChecksum(body)));
    }
    r.mbsn = QStringLiteral("MBSN%1").arg(n, 12, 10, QLatin1Char('0'));
    r.psn = QStringLiteral("PSN%1").arg(n, 12, 10, QLatin1Char('0'));
    r.bt = QStringLiteral("%1").arg(n % 0x1000000000000, 12, 16, QLatin1Char('0')).toUpper();
    return r;
}

// The N of the handset's record; -1 when its fields are not all of one record.
qint64 recordOnHandset(const BenchHandset &h)
{
    bool ok = false;
    const qint64 n = h.factory.mbsn.mid(4).toLongLong(&ok);
    if (!ok || !h.factory.mbsn.startsWith(QLatin1String("MBSN")))
        return -1;
    const Record r = record(n);
    return h.factory.imeis == r.imeis && h.factory.psn == r.psn && h.factory.bt == r.bt ? n : -1;
}

qint64 readHandset(const QString &port)
{
    BenchHandset h;
    return Bench::read(port, h) ? recordOnHandset(h) : -1;
}

int plug(const QString &port)
{
    BenchHandset h;
    h.port = port;
    h.kind = Bench::defaultKindFor(port);
    h.factoryAreaBytes = 2048;
    h.userAreaBytes = 64;
    h.blank = false;
    const Record r = record(0);
    h.factory.imeis = r.imeis;
    h.factory.mbsn = r.mbsn;
    h.factory.psn = r.psn;
    h.factory.bt = r.bt;
    QString error;
    if (!Bench::plug(h, &error)) {
        say(QStringLiteral("cannot plug %1: %2").arg(port, error));
        return 1;
    }
    return 0;
}

int hold(const QString &port)
{
    std::unique_ptr<TargetConnection> connection(CreateTargetConnection(port));
    say(connection ? QStringLiteral("held") : QStringLiteral("refused"));
    if (!connection)
        return 1;
    for (;;)
        QThread::sleep(1); // until killed
}

int connectLoop(const QString &port)
{
    for (qint64 n = 0;; ++n) {
        std::unique_ptr<TargetConnection> connection(CreateTargetConnection(port));
        if (connection)
            say(QStringLiteral("connected %1").arg(n));
    }
}

int faultLoop(const QString &port)
{
    for (qint64 n = 0;; ++n) {
        if (BenchFaults::setFault(port, QStringLiteral("erase"), -102, true) && BenchFaults::clear(port))
            say(QStringLiteral("set %1").arg(n));
    }
}

// Saves through the library the way a write cycle does: prepare, load, set, save.
int saveRecord(const QString &port, qint64 n)
{
    BenchSession session(port);
    int rc = session.prepareAndLoad();
    if (rc != TGT_OK)
        return rc;
    FactorySet *set = session.factorySet();
    const Record r = record(n);
    for (int i = 0; i < 4 && rc == TGT_OK; ++i)
        rc = set->setImei(i, r.imeis[i].toStdString(), true);
    if (rc == TGT_OK)
        rc = set->setMbsn(r.mbsn.toStdString());
    if (rc == TGT_OK)
        rc = set->setPsn(r.psn.toStdString());
    if (rc == TGT_OK)
        rc = set->setBt(r.bt.toStdString());
    return rc == TGT_OK ? set->saveToDevice(session.programmer()) : rc;
}

int saveLoop(const QString &port)
{
    qint64 n = readHandset(port);
    say(QStringLiteral("start %1").arg(n));
    if (n < 0)
        return 1;
    for (++n;; ++n) {
        const int rc = saveRecord(port, n);
        if (rc != TGT_OK) {
            say(QStringLiteral("save failed: %1").arg(rc));
            return 1;
        }
        say(QStringLiteral("saved %1").arg(n));
    }
}

QByteArray historyLine(qint64 n)
{
    return "2026-01-01 00:00:00\t\t" + record(n).imeis.join(QLatin1Char(',')).toLatin1() + '\n';
}

// The complete records at the front of the file, in order; -1 for a line that is neither one nor a record cut
// short by the end of the append that was interrupted.
qint64 completeRecords(const QByteArray &text, bool *mixed)
{
    qint64 next = 0;
    *mixed = false;
    for (const QByteArray &line : text.split('\n')) {
        if (line.isEmpty())
            continue;
        const QByteArray full = historyLine(next);
        if (line + '\n' == full)
            ++next;
        else if (next > 0 && historyLine(next - 1).startsWith(line))
            continue; // cut just before its line end, so whole, yet never reported: appended again, and maybe cut
        else if (!full.startsWith(line))
            *mixed = true; // neither the next record nor its beginning
    }
    return next;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int appendLoop(const QString &path)
{
    bool mixed = false;
    qint64 n = completeRecords(readAll(path), &mixed);
    say(QStringLiteral("start %1").arg(n - 1));
    for (;; ++n) {
        const Record r = record(n);
        if (!appendHistoryLine(path, QStringLiteral("2026-01-01 00:00:00"), r.imeis.join(QLatin1Char(',')), true)) {
            say(QStringLiteral("append failed"));
            return 1;
        }
        say(QStringLiteral("appended %1").arg(n));
    }
}

// Findings on a handset after a kill, given the last save reported complete.
int checkSave(const QString &port, qint64 last)
{
    const qint64 n = readHandset(port);
    int mixed = n < 0 || n > last + 1 ? 1 : 0;
    int lost = n >= 0 && n < last ? 1 : 0;
    // And the library, as the next cycle reads it.
    BenchSession session(port);
    const int rc = session.prepareAndLoad();
    if (rc != TGT_OK || (n >= 0 && session.factorySet()->getMbsn() != record(n).mbsn.toStdString()))
        mixed = 1;
    say(QStringLiteral("record: %1 reported: %2 load: %3 mixed: %4 lost: %5")
            .arg(n)
            .arg(last)
            .arg(rc)
            .arg(mixed)
            .arg(lost));
    return 0;
}

// Findings on a history file after a kill, given the last append reported complete.
int checkAppend(const QString &path, qint64 last)
{
    bool mixed = false;
    const qint64 complete = completeRecords(readAll(path), &mixed);
    int lost = complete <= last ? 1 : 0;
    // The tool's own reader finds every IMEI of every reported record.
    ImeiHistory history;
    readImeiHistory(path, history);
    for (qint64 n = 0; n <= last && !lost; ++n) {
        for (const QString &imei : record(n).imeis)
            lost = history.contains(imei) ? lost : 1;
    }
    say(QStringLiteral("records: %1 mixed: %2 lost: %3").arg(complete).arg(mixed ? 1 : 0).arg(lost));
    return 0;
}

// After a kill: the port opens at once, and its faults file answers at once.
int checkPort(const QString &port)
{
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<TargetConnection> connection(CreateTargetConnection(port));
    const bool opened = connection != nullptr;
    connection.reset();
    const bool faultsOk = BenchFaults::setFault(port, QStringLiteral("erase"), -102, true) && BenchFaults::clear(port);
    BenchHandset h;
    const bool shownFree = Bench::read(port, h) && !h.inUse;
    const bool blocked = !opened || !faultsOk || !shownFree;
    const bool stalled = timer.elapsed() > 1000;
    say(QStringLiteral("blocked: %1 stalled: %2").arg(blocked ? 1 : 0).arg(stalled ? 1 : 0));
    return 0;
}

void report(qint64 trials, qint64 mixed, qint64 lost)
{
    say(QStringLiteral("trials: %1").arg(trials));
    say(QStringLiteral("mixed: %1").arg(mixed));
    say(QStringLiteral("lost: %1").arg(lost));
}

// Power cuts at random bytes of a factory-data save: the handset then holds the previous record or, for a save
// reported complete, the new one.
int powerCutSave(const QString &port, qint64 trials)
{
    qint64 mixed = 0, lost = 0;
    QRandomGenerator *random = QRandomGenerator::global();
    for (qint64 t = 0; t < trials; ++t) {
        const qint64 before = readHandset(port);
        if (before < 0)
            return 1;
        const bool cut = random->bounded(4) != 0; // some saves run through
        if (cut && !BenchFaults::setPowerCut(port, random->bounded(300), true))
            return 1;
        const int rc = saveRecord(port, before + 1);
        BenchFaults::clear(port);
        const qint64 after = readHandset(port);
        if (after != before && after != before + 1)
            ++mixed;
        else if (rc == TGT_OK && after != before + 1)
            ++lost;
        else if (rc != TGT_OK && after != before)
            ++mixed; // reported failed, yet changed
    }
    report(trials, mixed, lost);
    return 0;
}

// Power cuts in the middle of history appends: the record being appended reaches the disk only in part (the
// append never reported it), then the next append goes on. Every record reported before stays whole and found.
int powerCutAppend(const QString &path, qint64 trials)
{
    qint64 mixed = 0, lost = 0, last = -1;
    QRandomGenerator *random = QRandomGenerator::global();
    for (qint64 t = 0; t < trials; ++t) {
        const qint64 n = last + 1;
        const qint64 sizeBefore = QFileInfo(path).size();
        if (!appendHistoryLine(path, QStringLiteral("2026-01-01 00:00:00"), record(n).imeis.join(QLatin1Char(',')),
                               true))
            return 1;
        if (random->bounded(3) != 0) {
            // Power lost before the append was on the disk: only part of it is.
            const qint64 written = QFileInfo(path).size() - sizeBefore;
            if (!QFile::resize(path, sizeBefore + random->bounded(written)))
                return 1;
        } else {
            last = n;
        }
        bool isMixed = false;
        const qint64 complete = completeRecords(readAll(path), &isMixed);
        mixed += isMixed ? 1 : 0;
        ImeiHistory history;
        readImeiHistory(path, history);
        bool found = complete > last;
        for (qint64 k = qMax<qint64>(0, last - 2); k <= last; ++k)
            found = found && history.contains(record(k).imeis.last());
        lost += found ? 0 : 1;
    }
    report(trials, mixed, lost);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString command = args.value(0);
    const QString target = args.value(1);
    bool ok = true;
    const qint64 number = args.size() > 2 ? args.at(2).toLongLong(&ok) : 0;
    if (target.isEmpty() || !ok) {
        std::fputs(Usage, stderr);
        return 2;
    }
    if (command == QLatin1String("plug"))
        return plug(target);
    if (command == QLatin1String("hold"))
        return hold(target);
    if (command == QLatin1String("connect"))
        return connectLoop(target);
    if (command == QLatin1String("faults"))
        return faultLoop(target);
    if (command == QLatin1String("save"))
        return saveLoop(target);
    if (command == QLatin1String("append"))
        return appendLoop(target);
    if (command == QLatin1String("check-save"))
        return checkSave(target, number);
    if (command == QLatin1String("check-append"))
        return checkAppend(target, number);
    if (command == QLatin1String("check-port"))
        return checkPort(target);
    if (command == QLatin1String("powercut-save"))
        return powerCutSave(target, number);
    if (command == QLatin1String("powercut-append"))
        return powerCutAppend(target, number);
    std::fputs(Usage, stderr);
    return 2;
}

#include "FaultStore.h"

#include "BenchPaths.h"
#include "HeldFileLock.h"
#include "tgtlink/TargetError.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QThread>

namespace FaultStore {

namespace {

constexpr qint64 MaxFileBytes = 64 * 1024;

QList<Entry> parse(const QByteArray &text)
{
    QList<Entry> entries;
    for (const QByteArray &rawLine : text.split('\n')) {
        const QList<QByteArray> f = rawLine.simplified().split(' ');
        if (f.size() < 3)
            continue;
        Entry e;
        e.kind = QString::fromLatin1(f[0]);
        bool ok = false;
        if (e.kind == QLatin1String("fault") && f.size() == 4) {
            e.op = QString::fromLatin1(f[1]);
            e.value = f[2].toInt(&ok);
            e.once = f[3] == "once";
        } else if (e.kind == QLatin1String("powercut") && f.size() == 3) {
            e.op = QStringLiteral("save");
            e.value = f[1].toLongLong(&ok);
            ok = ok && e.value >= 0;
            e.once = f[2] == "once";
        } else if (e.kind == QLatin1String("delay") && f.size() == 3) {
            e.op = QString::fromLatin1(f[1]);
            e.value = f[2].toInt(&ok);
            ok = ok && e.value >= 0;
        }
        if (ok)
            entries.append(e);
    }
    return entries;
}

QByteArray format(const QList<Entry> &entries)
{
    QByteArray text;
    for (const Entry &e : entries) {
        const QByteArray mode = e.once ? "once" : "always";
        if (e.kind == QLatin1String("fault"))
            text += "fault " + e.op.toLatin1() + ' ' + QByteArray::number(e.value) + ' ' + mode + '\n';
        else if (e.kind == QLatin1String("powercut"))
            text += "powercut " + QByteArray::number(e.value) + ' ' + mode + '\n';
        else if (e.kind == QLatin1String("delay"))
            text += "delay " + e.op.toLatin1() + ' ' + QByteArray::number(e.value) + '\n';
    }
    return text;
}

// Serialises read-modify-write of the side file between processes. A holder keeps it for a few milliseconds;
// the 2 s are for a busy machine, never for a holder that died (the system releases its lock).
class SideLock final
{
public:
    explicit SideLock(const QString &port) : m_lock(path(port) + QStringLiteral(".lock"))
    {
        QDir().mkpath(BenchPaths::sideDir());
        m_locked = m_lock.tryLock(2000);
    }
    bool locked() const { return m_locked; }

private:
    HeldFileLock m_lock;
    bool m_locked = false;
};

template <typename Fn> bool modify(const QString &port, QString *error, Fn fn)
{
    SideLock lock(port);
    if (!lock.locked()) {
        if (error)
            *error = QStringLiteral("fault file of %1 is locked").arg(port);
        return false;
    }
    QList<Entry> entries = load(port);
    if (!fn(entries))
        return true; // nothing changed
    return store(port, entries, error);
}

} // namespace

QString path(const QString &port)
{
    return BenchPaths::sidePath(port, QStringLiteral(".faults"));
}

QList<Entry> load(const QString &port)
{
    QFile file(path(port));
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxFileBytes)
        return {};
    return parse(file.read(MaxFileBytes));
}

bool store(const QString &port, const QList<Entry> &entries, QString *error)
{
    if (entries.isEmpty()) {
        QFile::remove(path(port));
        return true;
    }
    QDir().mkpath(BenchPaths::sideDir());
    QSaveFile file(path(port));
    const QByteArray text = format(entries);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool set(const QString &port, const Entry &entry, QString *error)
{
    return modify(port, error, [&entry](QList<Entry> &entries) {
        entries.removeIf([&entry](const Entry &e) { return e.kind == entry.kind && e.op == entry.op; });
        entries.append(entry);
        return true;
    });
}

bool apply(const QString &port, const QString &line, QString *error)
{
    if (line.trimmed() == QLatin1String("clear"))
        return clear(port, QString(), error);
    const QList<Entry> entries = parse(line.toLatin1());
    if (entries.size() != 1 || line.contains(QLatin1Char('\n'))) {
        if (error)
            *error = QStringLiteral("not a fault: \"%1\"").arg(line);
        return false;
    }
    return set(port, entries.first(), error);
}

bool clear(const QString &port, const QString &op, QString *error)
{
    return modify(port, error, [&op](QList<Entry> &entries) {
        const qsizetype before = entries.size();
        entries.removeIf([&op](const Entry &e) { return op.isEmpty() || e.op == op || e.kind == op; });
        return entries.size() != before;
    });
}

namespace {

std::optional<qint64> take(const QString &port, const QString &kind, const QString &op)
{
    if (!QFile::exists(path(port)))
        return std::nullopt;
    std::optional<qint64> result;
    modify(port, nullptr, [&](QList<Entry> &entries) {
        for (qsizetype i = 0; i < entries.size(); ++i) {
            if (entries[i].kind == kind && entries[i].op == op) {
                result = entries[i].value;
                if (entries[i].once) {
                    entries.removeAt(i);
                    return true;
                }
                return false;
            }
        }
        return false;
    });
    return result;
}

} // namespace

std::optional<int> takeFault(const QString &port, const QString &op)
{
    const std::optional<qint64> v = take(port, QStringLiteral("fault"), op);
    if (!v)
        return std::nullopt;
    return int(*v);
}

qint64 takePowerCut(const QString &port)
{
    return take(port, QStringLiteral("powercut"), QStringLiteral("save")).value_or(-1);
}

int defaultDelayMs(const QString &op)
{
    // Roughly what a real handset takes, so that the window has progress to show.
    static const QList<QPair<QString, int>> defaults = {
        {QStringLiteral("connect"), 50},     {QStringLiteral("prepare"), 150}, {QStringLiteral("chipid"), 20},
        {QStringLiteral("flashinfo"), 40},   {QStringLiteral("version"), 30},  {QStringLiteral("ramrun"), 1000},
        {QStringLiteral("checkstart"), 100}, {QStringLiteral("load"), 200},    {QStringLiteral("save"), 300},
        {QStringLiteral("erase"), 800},
    };
    for (const auto &d : defaults) {
        if (d.first == op)
            return d.second;
    }
    return 0;
}

int delayMs(const QString &port, const QString &op)
{
    int ms = defaultDelayMs(op);
    if (QFile::exists(path(port))) {
        for (const Entry &e : load(port)) {
            if (e.kind == QLatin1String("delay") && e.op == op)
                ms = int(qBound(qint64(0), e.value, qint64(600000)));
        }
    }
    bool ok = false;
    const double scale = qEnvironmentVariable("TGTLINK_DELAY_SCALE").toDouble(&ok);
    if (ok)
        ms = int(ms * qBound(0.0, scale, 100.0));
    return ms;
}

int pause(int ms, const std::function<bool()> &aborted)
{
    QDeadlineTimer deadline(ms);
    do {
        if (aborted && aborted())
            return TGT_ERR_ABORTED;
        const qint64 left = deadline.remainingTime();
        if (left <= 0)
            break;
        QThread::msleep(ulong(qMin<qint64>(left, 20)));
    } while (true);
    return aborted && aborted() ? TGT_ERR_ABORTED : TGT_OK;
}

} // namespace FaultStore

#include "BenchFaults.h"

#include "BenchPaths.h"
#include "FaultStore.h"

namespace {

bool checkPort(const QString &port, QString *error)
{
    if (BenchPaths::isValidPortName(port))
        return true;
    if (error)
        *error = QStringLiteral("bad port name \"%1\"").arg(port);
    return false;
}

bool checkOp(const QStringList &known, const QString &op, QString *error)
{
    if (known.contains(op))
        return true;
    if (error)
        *error = QStringLiteral("unknown operation \"%1\"; known: %2").arg(op, known.join(QLatin1Char(' ')));
    return false;
}

} // namespace

QStringList BenchFaults::operations()
{
    return {QStringLiteral("connect"),      QStringLiteral("scan"),       QStringLiteral("prepare"),
            QStringLiteral("chipid"),       QStringLiteral("flashinfo"),  QStringLiteral("version"),
            QStringLiteral("ramrun"),       QStringLiteral("checkstart"), QStringLiteral("load"),
            QStringLiteral("save"),         QStringLiteral("erase"),      QStringLiteral("setimei"),
            QStringLiteral("setmbsn"),      QStringLiteral("setpsn"),     QStringLiteral("setbt"),
            QStringLiteral("querystation"), QStringLiteral("setstation"), QStringLiteral("createfactoryset")};
}

QStringList BenchFaults::delayedOperations()
{
    QStringList ops;
    for (const QString &op : operations()) {
        if (FaultStore::defaultDelayMs(op) > 0)
            ops.append(op);
    }
    return ops;
}

bool BenchFaults::setFault(const QString &port, const QString &op, int code, bool once, QString *error)
{
    if (!checkPort(port, error) || !checkOp(operations(), op, error))
        return false;
    return FaultStore::set(port, {QStringLiteral("fault"), op, code, once}, error);
}

bool BenchFaults::setPowerCut(const QString &port, qint64 bytes, bool once, QString *error)
{
    if (!checkPort(port, error))
        return false;
    if (bytes < 0) {
        if (error)
            *error = QStringLiteral("the byte count must not be negative");
        return false;
    }
    return FaultStore::set(port, {QStringLiteral("powercut"), QStringLiteral("save"), bytes, once}, error);
}

bool BenchFaults::setDelay(const QString &port, const QString &op, int ms, QString *error)
{
    if (!checkPort(port, error) || !checkOp(operations(), op, error))
        return false;
    if (ms < 0 || ms > 600000) {
        if (error)
            *error = QStringLiteral("the delay must be 0 to 600000 ms");
        return false;
    }
    return FaultStore::set(port, {QStringLiteral("delay"), op, ms, false}, error);
}

bool BenchFaults::clear(const QString &port, const QString &op, QString *error)
{
    if (!checkPort(port, error))
        return false;
    if (!op.isEmpty() && op != QLatin1String("powercut") && !checkOp(operations(), op, error))
        return false;
    return FaultStore::clear(port, op, error);
}

QStringList BenchFaults::list(const QString &port)
{
    QStringList lines;
    if (!BenchPaths::isValidPortName(port))
        return lines;
    for (const FaultStore::Entry &e : FaultStore::load(port)) {
        const QString mode = e.once ? QStringLiteral("once") : QStringLiteral("always");
        if (e.kind == QLatin1String("fault"))
            lines.append(QStringLiteral("fault %1 %2 %3").arg(e.op).arg(e.value).arg(mode));
        else if (e.kind == QLatin1String("powercut"))
            lines.append(QStringLiteral("powercut %1 %2").arg(e.value).arg(mode));
        else
            lines.append(QStringLiteral("delay %1 %2").arg(e.op).arg(e.value));
    }
    return lines;
}

int BenchFaults::defaultDelayMs(const QString &op)
{
    return FaultStore::defaultDelayMs(op);
}

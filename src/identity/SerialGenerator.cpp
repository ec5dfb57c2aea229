#include "identity/SerialGenerator.h"

#include "config/Clock.h"
#include "config/ToolSettings.h"
#include "identity/IdentityFrontEnd.h"
#include "identity/IdentityPool.h"
#include "identity/ImeiRules.h"
#include "identity/IssuedIdentities.h"

#include <QMutexLocker>
#include <QSet>
#include <QStringList>
#include <QVector>

#include <limits>

namespace {

bool isAsciiLetterOrDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
}

struct SerialKind
{
    const QString &initial;
    const QString &mask;
    int length;
    int maxNum;
    bool checkRepetitive;
};

SerialKind kindOf(const ToolSettings &s, int kind)
{
    if (kind == RunMbsn)
        return {s.MbsnInitNum, s.MbsnMaskNum, s.Mbsnlen, s.MbsnMaxNum, s.MbsnCheckRepetitive};
    return {s.PsnInitNum, s.PsnMaskNum, s.Psnlen, s.PsnMaxNum, s.PsnCheckRepetitive};
}

} // namespace

bool SerialGenerator::generateSerialPool(const ToolSettings &settings, int kind, IdentityPool &pool,
                                         const IssuedIdentities &issued, IdentityFrontEnd &frontEnd)
{
    const SerialKind k = kindOf(settings, kind);
    const qsizetype n = qMin(k.initial.size(), k.mask.size());
    QVector<qsizetype> counterPositions;
    QString counterText;
    for (qsizetype i = 0; i < n; ++i) {
        if (k.mask.at(i) != QLatin1Char('*'))
            continue;
        if (!isAsciiLetterOrDigit(k.initial.at(i))) {
            frontEnd.criticalBox(kind == RunMbsn ? tr("The custom part of MBSN must be digits or letters!")
                                                 : tr("The custom part of PSN must be digits or letters!"));
            return false;
        }
        counterPositions.append(i);
        counterText.append(k.initial.at(i));
    }
    const int width = int(counterPositions.size());
    bool digits = false;
    const quint64 parsed = counterText.toULongLong(&digits, 10);
    const quint64 start = digits ? parsed : 0;
    // Twenty nines do not fit: the maximum count bounds the series long before that.
    quint64 limit = 0;
    for (int i = 0; i < width; ++i)
        limit = limit > std::numeric_limits<quint64>::max() / 10 ? std::numeric_limits<quint64>::max() : limit * 10 + 9;

    const QDate today = Clock::now().date();
    const QString month = QStringLiteral("%1").arg(today.month(), 2, 10, QLatin1Char('0'));
    const QString day = QStringLiteral("%1").arg(today.day(), 2, 10, QLatin1Char('0'));

    const quint64 maxCount = quint64(qBound(0, k.maxNum, IdentityPool::Capacity));
    QStringList values;
    QSet<QString> seen; // a counter that the written length cuts off gives one value many times
    QString value = k.initial;
    for (quint64 current = start; current <= limit && current - start < maxCount; ++current) {
        const QString counter = QString::number(current).rightJustified(width, QLatin1Char('0'));
        for (int j = 0; j < width; ++j)
            value[counterPositions.at(j)] = counter.at(j);
        QString stored = value;
        stored.replace(QLatin1String("##"), month).replace(QLatin1String("%%"), day);
        // The history holds values as written, so the value is tested at its written length.
        fitLeft(stored, k.length);
        if (!seen.contains(stored)) {
            seen.insert(stored);
            values.append(stored);
        }
        if (current == std::numeric_limits<quint64>::max())
            break;
    }
    const QVector<bool> skip = k.checkRepetitive ? issued.areIssued(kind, values) : QVector<bool>(values.size(), false);
    for (qsizetype i = 0; i < values.size() && pool.total < IdentityPool::Capacity; ++i) {
        if (!skip.value(i))
            pool.values[pool.total++] = values.at(i);
    }
    return true;
}

QString SerialGenerator::serialByTime(ToolSettings &settings, int length)
{
    QMutexLocker lock(&settings.serialLock);
    QDateTime now = Clock::now();
    while (now.toMSecsSinceEpoch() == settings.lastSerialTime)
        now = Clock::now();
    settings.lastSerialTime = now.toMSecsSinceEpoch();
    QString value = now.toLocalTime().toString(QStringLiteral("yyyyMMddhhmmsszzz"));
    fitLeft(value, length);
    return value;
}

bool SerialGenerator::takeSerialByTime(ToolSettings &settings, int kind, IdentityPool &pool,
                                       const IssuedIdentities &issued, IdentityFrontEnd &frontEnd)
{
    const SerialKind k = kindOf(settings, kind);
    const QString value = serialByTime(settings, k.length);
    if (k.checkRepetitive && issued.isIssued(kind, value)) {
        frontEnd.logLine(kind == RunMbsn ? tr("MBSN has repeated with previous!")
                                         : tr("PSN has repeated with previous!"),
                         LineColour::Error);
        return false;
    }
    pool.setSingle(value);
    (kind == RunMbsn ? settings.currentMbsn : settings.currentPsn) = value;
    return true;
}

bool SerialGenerator::isValidSerial(const QString &text, int maxLength)
{
    if (text.isEmpty() || text.size() > maxLength)
        return false;
    const QString simplified = text.simplified();
    for (QChar c : simplified) {
        if (!isAsciiLetterOrDigit(c))
            return false;
    }
    return true;
}

#include "identity/ImeiPoolGenerator.h"

#include "config/ToolSettings.h"
#include "identity/IdentityFrontEnd.h"
#include "identity/ImeiPool.h"
#include "identity/ImeiRules.h"
#include "identity/IssuedIdentities.h"

#include <QSet>
#include <QStringList>
#include <QVector>

namespace {

constexpr int BodyLength = ToolSettings::ImeiLength - 1;

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

int imeisPerSet(const ToolSettings &settings)
{
    return settings.ImeiNum >= 1 && settings.ImeiNum <= ImeiPool::Lists ? settings.ImeiNum : 1;
}

} // namespace

bool ImeiPoolGenerator::generateImeiPool(const ToolSettings &settings, ImeiPool &pool, const IssuedIdentities &issued,
                                         IdentityFrontEnd &frontEnd)
{
    QString initial = settings.ImeiInitNum14;
    QString mask = settings.ImeiMaskNum14;
    fitRight(initial, BodyLength);
    fitRight(mask, BodyLength);

    QVector<int> counterPositions;
    for (int i = 0; i < BodyLength; ++i) {
        if (mask.at(i) == QLatin1Char('*'))
            counterPositions.append(i);
    }
    // A letter elsewhere would make every IMEI of the series a made-up one.
    for (int i = 0; i < BodyLength; ++i) {
        if (mask.at(i) != QLatin1Char('*') && !isAsciiDigit(initial.at(i))) {
            frontEnd.criticalBox(tr("The initial IMEI number (ImeiInitNum14) must be digits: %1").arg(initial));
            return false;
        }
    }
    quint64 start = 0;
    for (int position : counterPositions) {
        if (!isAsciiDigit(initial.at(position))) {
            frontEnd.criticalBox(tr("The custom part of IMEI must be digits!"));
            return false;
        }
        start = start * 10 + quint64(initial.at(position).unicode() - '0');
    }
    const int k = int(counterPositions.size());
    quint64 limit = 0;
    for (int i = 0; i < k; ++i)
        limit = limit * 10 + 9;

    const quint64 maxCount = quint64(qBound(0, settings.ImeiMaxNum, ImeiPool::Capacity));
    const quint64 count = qMin(limit - start + 1, maxCount);
    QStringList imeis;
    imeis.reserve(qsizetype(count));
    QString body = initial;
    QSet<QString> seen; // never twice in a pool, whatever the series gives
    for (quint64 current = start; current - start < count; ++current) {
        const QString digits = QString::number(current).rightJustified(k, QLatin1Char('0'));
        for (int j = 0; j < k; ++j)
            body[counterPositions.at(j)] = digits.at(j);
        const QString imei = adjustImei(body);
        if (!seen.contains(imei)) {
            seen.insert(imei);
            imeis.append(imei);
        }
    }
    // Asked at once, so that a store shared by a line answers in one round trip.
    const QVector<bool> skip =
        settings.ImeiCheckRepetitive ? issued.areIssued(RunImei, imeis) : QVector<bool>(imeis.size(), false);

    const int perSet = imeisPerSet(settings);
    int slot = 0;
    for (qsizetype i = 0; i < imeis.size() && pool.total < ImeiPool::Capacity; ++i) {
        if (skip.value(i))
            continue;
        const QString &imei = imeis.at(i);
        const int row = pool.total;
        if (!settings.NextAdd) {
            for (int list = 0; list < ImeiPool::Lists; ++list)
                pool.lists[list][row] = list < perSet ? imei : QString();
            ++pool.total;
            continue;
        }
        pool.lists[slot][row] = imei;
        if (slot == perSet - 1) {
            for (int list = slot + 1; list < ImeiPool::Lists; ++list)
                pool.lists[list][row].clear();
            ++pool.total;
            slot = 0;
        } else {
            ++slot;
        }
    }
    return true;
}

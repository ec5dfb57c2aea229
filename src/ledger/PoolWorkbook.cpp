#include "ledger/PoolWorkbook.h"

#include "config/ToolSettings.h"
#include "identity/SheetImport.h"

bool PoolWorkbook::read(int kind, const QString &path, int length)
{
    m_values.clear();
    m_refusals.clear();
    m_failure.clear();
    m_adjustments.close();
    m_adjustments.setData(QByteArray());
    m_adjustments.open(QIODevice::WriteOnly | QIODevice::Append);
    ToolSettings settings;
    settings.ImeiCheckRepetitive = settings.MbsnCheckRepetitive = settings.PsnCheckRepetitive = true;
    settings.ImeiFromFile = settings.MbsnFromFile = settings.PsnFromFile = path;
    settings.Mbsnlen = settings.Psnlen = length;
    const SheetImport::TakeSet take = [this](const QStringList &set) { m_values.append(set.first()); };
    if (kind == 1)
        return SheetImport::readImeiSets(settings, *this, *this, take);
    if (kind == 2 || kind == 4)
        return SheetImport::readSerials(settings, *this, *this, kind, take);
    return false;
}

QStringList PoolWorkbook::adjustments() const
{
    return QString::fromUtf8(m_adjustments.data()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void PoolWorkbook::logLine(const QString &text, LineColour colour)
{
    if (colour == LineColour::Error)
        m_refusals.append(text);
}

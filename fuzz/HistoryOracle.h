#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

// The history file rules read line by line the plain way, as the check the fast readers are compared with:
// lines end at a line feed (the last one needs none), a line of more than 4096 bytes is skipped whole, a line
// holding '#' is a comment. Inputs holding a carriage return are left out of the comparison.
namespace HistoryOracle {

inline QList<QByteArray> lines(const QByteArray &text)
{
    QList<QByteArray> out = text.split('\n');
    if (!out.isEmpty() && out.last().isEmpty())
        out.removeLast(); // the line end of the last line, not an empty line after it
    out.removeIf([](const QByteArray &line) { return line.size() > 4096 || line.contains('#'); });
    return out;
}

// IMEI history: the date-time before the first tab, the IMEIs after the last one; without a tab the whole
// line is both.
inline QList<QPair<QByteArray, QByteArray>> imeiRecords(const QByteArray &text)
{
    QList<QPair<QByteArray, QByteArray>> records;
    for (const QByteArray &line : lines(text)) {
        const qsizetype first = line.indexOf('\t');
        if (first < 0)
            records.append({line, line});
        else
            records.append({line.left(first), line.mid(line.lastIndexOf('\t') + 1)});
    }
    return records;
}

// MBSN, PSN and Bluetooth histories: every line that is not empty, whole.
inline QList<QByteArray> listValues(const QByteArray &text)
{
    QList<QByteArray> values = lines(text);
    values.removeIf([](const QByteArray &line) { return line.isEmpty(); });
    return values;
}

} // namespace HistoryOracle

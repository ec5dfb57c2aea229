#pragma once

#include <QString>
#include <QVector>

// Prepared MBSN, PSN or Bluetooth values with a cursor: values before the cursor were handed out, values at or
// beyond `total` are stale. The list is made once and never resized (`slots` is a Qt keyword).
class IdentityPool final
{
public:
    static constexpr int Capacity = 10000;

    IdentityPool() : values(Capacity) {}

    void reset() { cursor = 0, total = 0; }
    bool isExhausted() const { return cursor >= total; }
    // Holds exactly one value (typed, time-stamped or automatic sources).
    void setSingle(const QString &value)
    {
        values[0] = value;
        cursor = 0;
        total = 1;
    }

    int cursor = 0;
    int total = 0;
    QVector<QString> values;
};

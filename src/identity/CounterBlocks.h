#pragma once

#include <QString>

// Where an advancing counter (the default IMEI, a Bluetooth range) may run when the stations of a line share it.
// A station holds one block of each shared counter at a time and its own counter runs inside that block; when
// it would leave the block, it takes a new one. Without a line nothing stands behind this seam and the
// counters run alone, as they always did.
class CounterBlocks
{
public:
    // A shared counter: stations that name the same range share it. `last` is the last value it hands out.
    struct Range
    {
        QString name;
        quint64 first = 0;
        quint64 last = 0;
    };

    virtual ~CounterBlocks() = default;

    // The value to hand out where the station's own counter would give `wanted`: `wanted` itself while it lies
    // in the block held of `range`, else the first value of a new block. False, with a line for the operator,
    // when no block can be had (the range used up, the ledger unreachable): then nothing is handed out.
    virtual bool place(const Range &range, quint64 wanted, quint64 *value, QString *message) = 0;
};

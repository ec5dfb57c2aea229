#pragma once

#include "identity/IdentityPool.h"

#include <QString>
#include <QVector>
#include <array>

// Prepared IMEI sets: entry k of list j holds IMEI j+1 of set k.
class ImeiPool final
{
public:
    static constexpr int Capacity = IdentityPool::Capacity;
    static constexpr int Lists = 4;

    ImeiPool()
    {
        for (auto &list : lists)
            list.resize(Capacity);
    }

    void reset() { cursor = 0, total = 0; }
    bool isExhausted() const { return cursor >= total; }

    int cursor = 0;
    int total = 0;
    std::array<QVector<QString>, Lists> lists;
};

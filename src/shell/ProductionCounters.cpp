#include "shell/ProductionCounters.h"

#include <QtGlobal>

void ProductionCounters::record(bool passed)
{
    if (passed)
        ++m_pass;
    else
        ++m_fail;
}

void ProductionCounters::reset()
{
    m_pass = 0;
    m_fail = 0;
}

int ProductionCounters::fpy() const
{
    const qint64 all = qint64(m_pass) + m_fail;
    // 64-bit so that a long shift's pass count times 100 cannot overflow.
    return all == 0 ? 0 : int(qint64(m_pass) * 100 / all);
}

#include "workbook/ChildMemoryLimit.h"

#include <QProcess>

#include <sys/resource.h>

ChildMemoryLimit::~ChildMemoryLimit() = default;

void ChildMemoryLimit::prepare(QProcess &process)
{
    const rlim_t bytes = rlim_t(m_bytes);
    process.setChildProcessModifier([bytes] {
        const rlimit memory{bytes, bytes};
        setrlimit(RLIMIT_AS, &memory);
    });
}

void ChildMemoryLimit::apply(QProcess &process)
{
    Q_UNUSED(process);
}

#include "workbook/ChildMemoryLimit.h"

#include <QProcess>

#include <windows.h>

ChildMemoryLimit::~ChildMemoryLimit()
{
    if (m_job)
        CloseHandle(reinterpret_cast<HANDLE>(m_job)); // the child, if still alive, keeps its limit
}

void ChildMemoryLimit::prepare(QProcess &process)
{
    Q_UNUSED(process);
}

void ChildMemoryLimit::apply(QProcess &process)
{
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job)
        return;
    m_job = reinterpret_cast<qintptr>(job);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_PROCESS_MEMORY;
    limits.ProcessMemoryLimit = SIZE_T(m_bytes);
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits))
        return;
    HANDLE child = OpenProcess(PROCESS_SET_QUOTA | PROCESS_TERMINATE, FALSE, DWORD(process.processId()));
    if (!child)
        return;
    AssignProcessToJobObject(job, child);
    CloseHandle(child);
}

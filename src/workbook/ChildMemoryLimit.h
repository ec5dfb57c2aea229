#pragma once

#include <QtGlobal>

class QProcess;

// A bound on the memory of a helper process, so that a hostile workbook cannot make its reader take the station's
// memory (ChildMemoryLimitPosix.cpp: an address-space limit set in the child; ChildMemoryLimitWin.cpp: a job
// object the child is put in once started).
class ChildMemoryLimit final
{
public:
    explicit ChildMemoryLimit(qint64 bytes) : m_bytes(bytes) {}
    ~ChildMemoryLimit();

    // Before the process starts.
    void prepare(QProcess &process);
    // Once it has started.
    void apply(QProcess &process);

private:
    ChildMemoryLimit(const ChildMemoryLimit &) = delete;
    ChildMemoryLimit &operator=(const ChildMemoryLimit &) = delete;

    qint64 m_bytes;
    qintptr m_job = 0;
};

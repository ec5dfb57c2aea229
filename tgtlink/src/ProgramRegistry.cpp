#include "ProgramRegistry.h"

#include "tgtlink/FlashProgram.h"

#include <QMultiHash>
#include <QMutex>

namespace ProgramRegistry {

namespace {
QMutex mutex;
QMultiHash<const TargetConnection *, FlashProgram *> programs; // guarded by mutex
} // namespace

void add(const TargetConnection *connection, FlashProgram *program)
{
    QMutexLocker locker(&mutex);
    programs.insert(connection, program);
}

void remove(FlashProgram *program)
{
    QMutexLocker locker(&mutex);
    for (auto it = programs.begin(); it != programs.end();) {
        if (it.value() == program)
            it = programs.erase(it);
        else
            ++it;
    }
}

bool abortRequested(const TargetConnection *connection)
{
    QMutexLocker locker(&mutex);
    for (auto it = programs.constFind(connection); it != programs.cend() && it.key() == connection; ++it) {
        if (it.value()->abortRequested.load())
            return true;
    }
    return false;
}

} // namespace ProgramRegistry

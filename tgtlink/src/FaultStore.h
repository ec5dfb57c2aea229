#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <optional>

// Faults and delays of one bench handset, kept in a side file so that they hold across processes: the bench
// command line sets them, the library consumes them.
//
// One line each:  "fault OP CODE once|always",  "powercut BYTES once|always",  "delay OP MS".
namespace FaultStore {

struct Entry
{
    QString kind; // "fault", "powercut" or "delay"
    QString op;   // operation name ("save" for a power cut)
    qint64 value = 0;
    bool once = false;
};

QString path(const QString &port);
QList<Entry> load(const QString &port);
bool store(const QString &port, const QList<Entry> &entries, QString *error);

// Adds or replaces the entry for the same kind and operation.
bool set(const QString &port, const Entry &entry, QString *error);
// One line of the file's format, or "clear" for every entry: what a backend's fault injection hands on.
bool apply(const QString &port, const QString &line, QString *error);
// Removes the entries of `op` (every entry when `op` is empty).
bool clear(const QString &port, const QString &op, QString *error);

// The code injected for `op`, consuming a one-shot fault.
std::optional<int> takeFault(const QString &port, const QString &op);
// Bytes a save may write before the power is cut, consuming a one-shot cut; -1 for no cut.
qint64 takePowerCut(const QString &port);
// The operation's delay in milliseconds after TGTLINK_DELAY_SCALE: the handset's own or the default.
int delayMs(const QString &port, const QString &op);
int defaultDelayMs(const QString &op);

// Sleeps `ms` in short slices; TGT_ERR_ABORTED as soon as `aborted` (when given) says so.
int pause(int ms, const std::function<bool()> &aborted);

} // namespace FaultStore

#pragma once

#include <QString>
#include <QStringList>

// Fault injection and delays per bench handset. They live in a side file, so a fault set by one process (the
// `handset` command line, a test) is seen by the library in another.
//
// Operations: connect (CreateTargetConnection gives null), scan (the handset is left out of scans), prepare,
// chipid, flashinfo, version, ramrun, checkstart, load, save, erase, setimei, setmbsn, setpsn, setbt,
// querystation, setstation, createfactoryset (CreateFactorySet gives null). A fault makes the operation fail
// with the code given (0 counts as TGT_ERR_IO).
class BenchFaults final
{
public:
    static QStringList operations();
    static QStringList delayedOperations(); // the operations that take time, with their default delays

    static bool setFault(const QString &port, const QString &op, int code, bool once, QString *error = nullptr);
    // The next save (or every save) stops writing the image after `bytes` bytes and fails.
    static bool setPowerCut(const QString &port, qint64 bytes, bool once, QString *error = nullptr);
    // Milliseconds the operation takes on this handset, before TGTLINK_DELAY_SCALE.
    static bool setDelay(const QString &port, const QString &op, int ms, QString *error = nullptr);
    // Clears one operation's fault and delay ("powercut" clears the power cut), or everything for an empty op.
    static bool clear(const QString &port, const QString &op = QString(), QString *error = nullptr);
    // The entries in force, one line each, as "fault OP CODE once|always", "powercut BYTES ..." or "delay OP MS".
    static QStringList list(const QString &port);
    static int defaultDelayMs(const QString &op);
};

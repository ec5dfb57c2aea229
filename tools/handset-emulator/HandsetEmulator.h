#pragma once

#include "SerialFrame.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <QString>
#include <atomic>
#include <memory>

class BenchConnection;
class BenchFactorySet;
class PseudoTerminal;

// A handset on a serial line: serves one bench handset's image with the serial-line protocol, over a
// pseudo-terminal, with the line's faults that a test asks for.
class HandsetEmulator final
{
public:
    struct LineFaults
    {
        double noise = 0;        // chance per byte, either way, that one bit flips
        double drop = 0;         // chance per byte, either way, that it is lost
        int delayMs = 0;         // before each reply
        int disconnectEvery = 0; // after every N requests the line goes dead ...
        int disconnectMs = 0;    // ... for this long
        quint32 seed = 1;
    };

    HandsetEmulator(PseudoTerminal &terminal, const QString &benchPort, const LineFaults &faults);
    ~HandsetEmulator();

    // Serves until `stop` is set or the terminal is gone.
    void run(const std::atomic<bool> &stop);

private:
    void handle(const SerialFrame::Frame &frame);
    // The handset's answer to one request: its status and the data after it.
    int serve(const SerialFrame::Frame &frame, QByteArray &data);
    void send(quint8 type, quint8 sequence, const QByteArray &payload);
    QByteArray damaged(const QByteArray &bytes);
    // Between slices of a long request: reads the line for an abort of it, and tells the host it still runs.
    bool pumpForAbort();

    HandsetEmulator(const HandsetEmulator &) = delete;
    HandsetEmulator &operator=(const HandsetEmulator &) = delete;

    PseudoTerminal &m_terminal;
    QString m_benchPort;
    LineFaults m_faults;
    QRandomGenerator m_random;
    SerialFrame::Reader m_reader;
    std::unique_ptr<BenchConnection> m_connection;
    std::unique_ptr<BenchFactorySet> m_factory;
    QByteArray m_ramRunImage;
    quint32 m_ramRunKind = 0;
    quint32 m_ramRunChip = 0;
    int m_requests = 0;
    // The last request answered, so that a request sent again is answered again without running twice.
    bool m_haveLast = false;
    quint8 m_lastType = 0;
    quint8 m_lastSequence = 0;
    QByteArray m_lastReply;
    // The long request running, for its abort.
    quint8 m_runningSequence = 0;
    bool m_abortSeen = false;
    qint64 m_lastBusyMs = 0;
};

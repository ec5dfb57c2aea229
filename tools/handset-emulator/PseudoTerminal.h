#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal whose far end (the slave) a serial backend opens like a serial device
// (PseudoTerminalPosix.cpp holds the platform code).
class PseudoTerminal final
{
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();

    // False with the reason in `error`.
    bool open(QString *error);
    // The device the other side opens, e.g. /dev/pts/3.
    QString slavePath() const { return m_slavePath; }

    // Appends what arrives within `timeoutMs` to `out`; false when the terminal is gone.
    bool read(QByteArray &out, int timeoutMs);
    bool write(const QByteArray &bytes);

private:
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    int m_master = -1;
    int m_slave = -1; // held open, so that the other side closing it is no hang-up here
    QString m_slavePath;
};

#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// A serial device opened raw and exclusively (SerialLinePosix.cpp: termios; SerialLineWin.cpp: the COM port API).
class SerialLine final
{
public:
    SerialLine() = default;
    ~SerialLine(); // closes

    // TGT_OK, TGT_ERR_NO_DEVICE (no such device), TGT_ERR_IO (in use or not a serial device).
    int open(const QString &path, int baud, QString *error);
    void close();
    bool isOpen() const { return m_handle != -1; }

    // Writes all of `bytes`; false when the line is gone.
    bool write(const QByteArray &bytes);
    // Appends what arrives within `timeoutMs` (at least one byte, or none on time-out) to `out`; false when the
    // line is gone.
    bool read(QByteArray &out, int timeoutMs);
    // Drops whatever was received and not read yet.
    void discardInput();

    // Serial devices present, sorted: /dev/ttyUSB* and /dev/ttyACM*, or the COM ports the system knows.
    static QStringList present();
    // Whether a port named in the backend's options is there: a device file, or on Windows a device name
    // ("COM7"), which is no file.
    static bool exists(const QString &path);

private:
    SerialLine(const SerialLine &) = delete;
    SerialLine &operator=(const SerialLine &) = delete;

    qintptr m_handle = -1; // a descriptor or a handle
};

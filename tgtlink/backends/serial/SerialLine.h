#pragma once

#include <QByteArray>
#include <QString>

// A serial device opened raw and exclusively (SerialLinePosix.cpp holds the termios code; a Windows port adds
// its own file).
class SerialLine final
{
public:
    SerialLine() = default;
    ~SerialLine(); // closes

    // TGT_OK, TGT_ERR_NO_DEVICE (no such device), TGT_ERR_IO (in use or not a serial device).
    int open(const QString &path, int baud, QString *error);
    void close();
    bool isOpen() const { return m_fd >= 0; }

    // Writes all of `bytes`; false when the line is gone.
    bool write(const QByteArray &bytes);
    // Appends what arrives within `timeoutMs` (at least one byte, or none on time-out) to `out`; false when the
    // line is gone.
    bool read(QByteArray &out, int timeoutMs);
    // Drops whatever was received and not read yet.
    void discardInput();

    // Serial devices present: /dev/ttyUSB*, /dev/ttyACM*, sorted.
    static QStringList present();

private:
    SerialLine(const SerialLine &) = delete;
    SerialLine &operator=(const SerialLine &) = delete;

    int m_fd = -1;
};

#pragma once

#include "SerialFrame.h"
#include "SerialLine.h"
#include "tgtlink/tgtlink_backend.h"

#include <QByteArray>
#include <QString>

// The host side of the serial-line protocol on one open device: a request, its reply, time-outs, retries with
// the same sequence number, and the abort of a long request.
class SerialClient final
{
public:
    struct Settings
    {
        int baud = 115200;
        int timeoutMs = 300; // without a frame from the handset, a request is sent again
        int retries = 4;
    };

    explicit SerialClient(const Settings &settings);

    // TGT_OK, or the code why the device cannot be used; error() says more.
    int open(const QString &path);
    void close();

    // Sends a request and waits for its reply. TGT_OK only when the reply came; `status` is then the handset's
    // code and `data` what follows it. With `abort`, the request is a long one the flag may end.
    int request(quint8 type, const QByteArray &payload, int &status, QByteArray &data,
                const tgtlink_abort *abort = nullptr);
    // As request(), giving the handset's status as the result.
    int call(quint8 type, const QByteArray &payload, QByteArray *data = nullptr, const tgtlink_abort *abort = nullptr);

    // Sends a request without waiting for its reply: for the end of a session, which must not keep a station
    // waiting on a handset that is gone.
    void notify(quint8 type);

    QString error() const { return m_error; }

private:
    SerialClient(const SerialClient &) = delete;
    SerialClient &operator=(const SerialClient &) = delete;

    Settings m_settings;
    SerialLine m_line;
    SerialFrame::Reader m_reader;
    quint8 m_sequence;
    QString m_error;
};

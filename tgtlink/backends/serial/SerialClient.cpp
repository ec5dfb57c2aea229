#include "SerialClient.h"

#include "tgtlink/TargetError.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtEndian>

namespace {
constexpr int SliceMs = 20;
constexpr int StallMs = 50;        // a pause this long inside a frame ends it
constexpr int AbortRepeatMs = 100; // the abort is sent again until the handset answers
constexpr int AbortGiveUpMs = 400; // then the request ends here, whatever the handset does
} // namespace

SerialClient::SerialClient(const Settings &settings)
    : m_settings(settings), m_sequence(quint8(QRandomGenerator::global()->generate()))
{
}

int SerialClient::open(const QString &path)
{
    m_reader.clear();
    return m_line.open(path, m_settings.baud, &m_error);
}

void SerialClient::close()
{
    m_line.close();
}

int SerialClient::request(quint8 type, const QByteArray &payload, int &status, QByteArray &data,
                          const tgtlink_abort *abort)
{
    const quint8 sequence = ++m_sequence;
    const QByteArray frame = SerialFrame::encode(type, sequence, payload);
    const auto aborted = [abort] { return abort && abort->requested && abort->requested(abort->context) != 0; };
    QElapsedTimer sinceAbort;
    for (int attempt = 0; attempt <= m_settings.retries; ++attempt) {
        if (attempt > 0)
            m_reader.clear(); // what came before is noise or a stale reply
        if (!m_line.write(frame)) {
            m_error = QStringLiteral("the serial device is gone");
            return TGT_ERR_NO_DEVICE;
        }
        QElapsedTimer sinceFrame;
        sinceFrame.start();
        QElapsedTimer sinceByte;
        sinceByte.start();
        QElapsedTimer sinceAbortSent;
        while (sinceFrame.elapsed() < m_settings.timeoutMs) {
            if (aborted()) {
                if (!sinceAbort.isValid())
                    sinceAbort.start();
                if (!sinceAbortSent.isValid() || sinceAbortSent.elapsed() >= AbortRepeatMs) {
                    m_line.write(SerialFrame::encode(SerialFrame::Abort, sequence, {}));
                    sinceAbortSent.start();
                }
                if (sinceAbort.elapsed() >= AbortGiveUpMs) {
                    m_error = QStringLiteral("the handset did not confirm the abort");
                    return TGT_ERR_ABORTED;
                }
            }
            QByteArray bytes;
            if (!m_line.read(bytes, SliceMs)) {
                m_error = QStringLiteral("the serial device is gone");
                return TGT_ERR_NO_DEVICE;
            }
            if (bytes.isEmpty()) {
                if (!m_reader.isEmpty() && sinceByte.elapsed() >= StallMs)
                    m_reader.skipStalled();
            } else {
                sinceByte.start();
                m_reader.append(bytes.constData(), bytes.size());
            }
            while (const std::optional<SerialFrame::Frame> got = m_reader.next()) {
                if (got->sequence != sequence)
                    continue; // a late reply to an earlier request
                if (got->type == SerialFrame::Busy) {
                    sinceFrame.start();
                    continue;
                }
                if (got->type != (type | SerialFrame::Reply) || got->payload.size() < 4)
                    continue;
                status = qFromLittleEndian<qint32>(got->payload.constData());
                data = got->payload.mid(4);
                return TGT_OK;
            }
        }
    }
    m_error = QStringLiteral("no answer after %1 tries").arg(m_settings.retries + 1);
    return TGT_ERR_TIMEOUT;
}

void SerialClient::notify(quint8 type)
{
    m_line.write(SerialFrame::encode(type, ++m_sequence, {}));
}

int SerialClient::call(quint8 type, const QByteArray &payload, QByteArray *data, const tgtlink_abort *abort)
{
    int status = TGT_OK;
    QByteArray reply;
    const int rc = request(type, payload, status, reply, abort);
    if (rc != TGT_OK)
        return rc;
    if (data)
        *data = reply;
    if (status > 0)
        status = TGT_ERR_IO; // success is 0 and failures are negative: anything else is a broken reply
    if (status != TGT_OK)
        m_error = QString::fromStdString(TargetStrError(status)) + QStringLiteral(" (reported by the handset)");
    return status;
}

#include "HandsetEmulator.h"

#include "BenchConnection.h"
#include "BenchFactorySet.h"
#include "FaultStore.h"
#include "PseudoTerminal.h"
#include "tgtlink/TargetError.h"

#include <QElapsedTimer>
#include <QThread>
#include <QtEndian>

using namespace SerialFrame;

namespace {

constexpr int BusyEveryMs = 50;
constexpr int StallMs = 50;

QByteArray u32(quint32 v)
{
    char bytes[4];
    qToLittleEndian<quint32>(v, bytes);
    return QByteArray(bytes, 4);
}

quint32 at(const QByteArray &bytes, int offset)
{
    return bytes.size() >= offset + 4 ? qFromLittleEndian<quint32>(bytes.constData() + offset) : 0;
}

QElapsedTimer &uptime()
{
    static QElapsedTimer timer;
    if (!timer.isValid())
        timer.start();
    return timer;
}

} // namespace

HandsetEmulator::HandsetEmulator(PseudoTerminal &terminal, const QString &benchPort, const LineFaults &faults)
    : m_terminal(terminal), m_benchPort(benchPort), m_faults(faults), m_random(faults.seed)
{
}

HandsetEmulator::~HandsetEmulator()
{
    m_factory.reset();
    m_connection.reset();
}

QByteArray HandsetEmulator::damaged(const QByteArray &bytes)
{
    if (m_faults.noise <= 0 && m_faults.drop <= 0)
        return bytes;
    QByteArray out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        if (m_random.generateDouble() < m_faults.drop)
            continue;
        if (m_random.generateDouble() < m_faults.noise)
            c = char(c ^ (1 << m_random.bounded(8)));
        out.append(c);
    }
    return out;
}

void HandsetEmulator::send(quint8 type, quint8 sequence, const QByteArray &payload)
{
    m_terminal.write(damaged(encode(type, sequence, payload)));
}

void HandsetEmulator::run(const std::atomic<bool> &stop)
{
    qint64 lastByteMs = uptime().elapsed();
    while (!stop) {
        QByteArray bytes;
        if (!m_terminal.read(bytes, 20))
            return;
        if (bytes.isEmpty()) {
            if (m_reader.isEmpty() || uptime().elapsed() - lastByteMs < StallMs)
                continue;
            // Read again at once: a whole request may lie behind the start given up on, and no more bytes may come.
            m_reader.skipStalled();
        } else {
            lastByteMs = uptime().elapsed();
            bytes = damaged(bytes);
            m_reader.append(bytes.constData(), bytes.size());
        }
        while (const std::optional<Frame> frame = m_reader.next())
            handle(*frame);
    }
}

void HandsetEmulator::handle(const Frame &frame)
{
    if (frame.type == Abort || frame.type >= Busy)
        return; // an abort of a request that has ended, or a frame a handset never receives
    ++m_requests;
    if (m_faults.disconnectEvery > 0 && m_requests % m_faults.disconnectEvery == 0) {
        // The line goes dead: nothing in, nothing out.
        QElapsedTimer dead;
        dead.start();
        while (dead.elapsed() < m_faults.disconnectMs) {
            QByteArray lost;
            m_terminal.read(lost, 10);
        }
        m_reader.clear();
        return;
    }
    if (m_faults.delayMs > 0)
        QThread::msleep(ulong(m_faults.delayMs));
    if (m_haveLast && frame.sequence == m_lastSequence && frame.type == m_lastType) {
        m_terminal.write(damaged(m_lastReply)); // sent again: the reply was lost, the work is done
        return;
    }
    QByteArray data;
    const int status = serve(frame, data);
    m_lastReply = encode(quint8(frame.type | Reply), frame.sequence, u32(quint32(status)) + data);
    m_haveLast = true;
    m_lastType = frame.type;
    m_lastSequence = frame.sequence;
    m_terminal.write(damaged(m_lastReply));
}

bool HandsetEmulator::pumpForAbort()
{
    if (uptime().elapsed() - m_lastBusyMs >= BusyEveryMs) {
        send(Busy, m_runningSequence, {});
        m_lastBusyMs = uptime().elapsed();
    }
    QByteArray bytes;
    if (m_terminal.read(bytes, 0) && !bytes.isEmpty()) {
        bytes = damaged(bytes);
        m_reader.append(bytes.constData(), bytes.size());
        // Only an abort matters now; the host sends nothing else while it waits.
        while (const std::optional<Frame> frame = m_reader.next()) {
            if (frame->type == Abort && frame->sequence == m_runningSequence)
                m_abortSeen = true;
        }
    }
    return m_abortSeen;
}

int HandsetEmulator::serve(const Frame &frame, QByteArray &data)
{
    const QByteArray &p = frame.payload;
    if (frame.type == Hello) {
        m_factory.reset();
        m_connection.reset();
        int rc = TGT_OK;
        m_connection.reset(BenchConnection::open(m_benchPort, rc));
        if (!m_connection)
            return rc;
        data = u32(m_connection->kind());
        return TGT_OK;
    }
    if (frame.type == Bye) {
        m_factory.reset();
        m_connection.reset();
        return TGT_OK;
    }
    if (!m_connection)
        return TGT_ERR_NOT_STARTED;
    BenchConnection &c = *m_connection;

    // Long requests see the abort through the line.
    m_runningSequence = frame.sequence;
    m_abortSeen = false;
    m_lastBusyMs = uptime().elapsed();
    const tgtlink_abort abort{[](void *self) { return static_cast<HandsetEmulator *>(self)->pumpForAbort() ? 1 : 0; },
                              this};

    switch (frame.type) {
    case Prepare:
        return c.prepare();
    case ChipId: {
        uint32_t id = 0;
        const int rc = c.chipId(id);
        data = u32(id);
        return rc;
    }
    case Version: {
        std::string text;
        const int rc = c.version(text);
        data = QByteArray::fromStdString(text);
        return rc;
    }
    case FlashInfo: {
        tgtlink_flash_info info{};
        const int rc = c.flashInfo(info);
        data = QByteArray(info.flash_model, sizeof info.flash_model) + u32(info.factory_base) + u32(info.factory_size) +
               u32(info.user_area_start) + u32(info.user_area_size);
        return rc;
    }
    case RamRunBegin:
        m_ramRunKind = at(p, 0);
        m_ramRunChip = at(p, 4);
        if (at(p, 8) == 0 || at(p, 8) > 64u * 1024 * 1024)
            return TGT_ERR_INVALID_ARGUMENT;
        m_ramRunImage = QByteArray(qsizetype(at(p, 8)), '\0');
        return TGT_OK;
    case RamRunData: {
        const quint32 offset = at(p, 0);
        const QByteArray chunk = p.mid(4);
        if (p.size() < 4 || quint64(offset) + quint64(chunk.size()) > quint64(m_ramRunImage.size()))
            return TGT_ERR_OUT_OF_RANGE;
        m_ramRunImage.replace(offset, chunk.size(), chunk);
        return TGT_OK;
    }
    case RamRunStart:
        return c.ramRun(m_ramRunKind, m_ramRunChip, size_t(m_ramRunImage.size()), &abort);
    case CheckStart:
        return c.checkStart();
    case Erase:
        return c.erase(at(p, 0), at(p, 4), &abort);
    case FactoryOpen: {
        m_factory.reset();
        tgtlink_flash_info info{};
        info.factory_base = at(p, 0);
        info.factory_size = at(p, 4);
        const QStringList stations = QString::fromUtf8(p.mid(8)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        int rc = TGT_OK;
        m_factory.reset(BenchFactorySet::open(&c, info, stations, rc));
        return rc;
    }
    case Inject: {
        QString error;
        return FaultStore::apply(m_benchPort, QString::fromUtf8(p), &error) ? TGT_OK : TGT_ERR_INVALID_ARGUMENT;
    }
    default:
        break;
    }

    if (!m_factory)
        return TGT_ERR_NOT_STARTED;
    BenchFactorySet &f = *m_factory;
    const int field = p.size() >= 1 ? quint8(p[0]) : 0;
    const int index = p.size() >= 2 ? quint8(p[1]) : 0;
    switch (frame.type) {
    case FactoryLoad:
        return f.loadFromDevice(&abort);
    case FactorySave:
        return f.saveToDevice(&abort);
    case FactoryInitialize:
        f.initialize();
        return TGT_OK;
    case FactoryClose:
        m_factory.reset();
        return TGT_OK;
    case FactoryGet:
        switch (field) {
        case TGTLINK_FIELD_IMEI:
            data = QByteArray::fromStdString(f.getImei(index));
            return index <= 3 ? TGT_OK : TGT_ERR_INVALID_ARGUMENT;
        case TGTLINK_FIELD_MBSN:
            data = QByteArray::fromStdString(f.getMbsn());
            return TGT_OK;
        case TGTLINK_FIELD_PSN:
            data = QByteArray::fromStdString(f.getPsn());
            return TGT_OK;
        case TGTLINK_FIELD_BT:
            data = QByteArray::fromStdString(f.getBt());
            return TGT_OK;
        default:
            return TGT_ERR_INVALID_ARGUMENT;
        }
    case FactorySet: {
        const bool check = p.size() >= 3 && p[2] != 0;
        const std::string value = p.mid(3).toStdString();
        switch (field) {
        case TGTLINK_FIELD_IMEI:
            return f.setImei(index, value, check);
        case TGTLINK_FIELD_MBSN:
            return f.setMbsn(value);
        case TGTLINK_FIELD_PSN:
            return f.setPsn(value);
        case TGTLINK_FIELD_BT:
            return f.setBt(value);
        default:
            return TGT_ERR_INVALID_ARGUMENT;
        }
    }
    case StationQuery: {
        bool found = false;
        bool passed = false;
        const int rc = f.queryStation(p.toStdString(), found, passed);
        data = QByteArray(1, char(found ? 1 : 0)) + QByteArray(1, char(passed ? 1 : 0));
        return rc;
    }
    case StationSet:
        return p.isEmpty() ? TGT_ERR_INVALID_ARGUMENT : f.setStation(p.mid(1).toStdString(), p[0] != 0);
    default:
        return TGT_ERR_NOT_SUPPORTED;
    }
}

#include "Bench.h"

#include "BenchPaths.h"
#include "Crc32.h"
#include "FactoryStore.h"
#include "FaultStore.h"
#include "HandsetImage.h"
#include "HeldFileLock.h"
#include "LodFormat.h"
#include "StationList.h"
#include "tgtlink/ChipInfo.h"
#include "tgtlink/FactorySet.h"
#include "tgtlink/TargetError.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QThread>

namespace {

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

bool isDigitText(const QString &s, int maxLength)
{
    if (s.size() > maxLength)
        return false;
    for (QChar c : s) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

bool isSerialText(const QString &s)
{
    if (s.size() > FactoryRecord::MaxSerialLength)
        return false;
    for (QChar c : s) {
        if (c.unicode() <= 0x20 || c.unicode() >= 0x7F)
            return false;
    }
    return true;
}

bool isBtText(const QString &s)
{
    if (s.isEmpty())
        return true;
    if (s.size() != FactoryRecord::BtLength)
        return false;
    for (QChar c : s) {
        const bool hex = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                         (c.toUpper() >= QLatin1Char('A') && c.toUpper() <= QLatin1Char('F'));
        if (!hex)
            return false;
    }
    return true;
}

bool toRecord(const BenchFactoryData &data, FactoryRecord &record, QString *error)
{
    if (data.imeis.size() > 4) {
        setError(error, QStringLiteral("at most four IMEIs"));
        return false;
    }
    for (int i = 0; i < data.imeis.size(); ++i) {
        if (!isDigitText(data.imeis[i], FactoryRecord::MaxImeiLength)) {
            setError(error, QStringLiteral("IMEI%1 must be at most 15 digits").arg(i + 1));
            return false;
        }
        record.imei[i] = data.imeis[i].toStdString();
    }
    if (!isSerialText(data.mbsn) || !isSerialText(data.psn)) {
        setError(error, QStringLiteral("MBSN and PSN must be at most 64 printable characters without blanks"));
        return false;
    }
    if (!isBtText(data.bt)) {
        setError(error, QStringLiteral("the Bluetooth address must be 12 hexadecimal digits"));
        return false;
    }
    record.mbsn = data.mbsn.toStdString();
    record.psn = data.psn.toStdString();
    record.bt = data.bt.toStdString();
    if (data.stations.size() > FactoryRecord::MaxStations) {
        setError(error, QStringLiteral("at most %1 stations").arg(FactoryRecord::MaxStations));
        return false;
    }
    for (auto it = data.stations.cbegin(); it != data.stations.cend(); ++it) {
        if (it.key().isEmpty() || it.key().size() > FactoryRecord::MaxStationNameLength || !isSerialText(it.key())) {
            setError(error, QStringLiteral("bad station name \"%1\"").arg(it.key()));
            return false;
        }
        record.stations.emplace_back(it.key().toStdString(), it.value());
    }
    record.stationMagic = data.stationMagic.value_or(Bench::currentStationMagic());
    return true;
}

BenchFactoryData fromRecord(const FactoryRecord &record, quint64 sequence)
{
    BenchFactoryData data;
    for (const std::string &imei : record.imei)
        data.imeis.append(QString::fromStdString(imei));
    data.mbsn = QString::fromStdString(record.mbsn);
    data.psn = QString::fromStdString(record.psn);
    data.bt = QString::fromStdString(record.bt);
    for (const auto &[name, passed] : record.stations)
        data.stations.insert(QString::fromStdString(name), passed);
    data.stationMagic = record.stationMagic;
    data.sequence = sequence;
    return data;
}

bool lockHeld(const QString &port)
{
    return HeldFileLock::isHeld(BenchPaths::sidePath(port, QStringLiteral(".lock")));
}

} // namespace

QString Bench::dir()
{
    return BenchPaths::benchDir();
}

QString Bench::imagePath(const QString &port)
{
    unsigned kind = 0;
    QString path;
    return BenchPaths::locate(port, kind, path) ? path : QString();
}

bool Bench::isValidPortName(const QString &port)
{
    return BenchPaths::isValidPortName(port);
}

unsigned Bench::defaultKindFor(const QString &port)
{
    if (port.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        return TGT_CONN_SERIAL;
    if (port.startsWith(QLatin1String("DBG"), Qt::CaseInsensitive))
        return TGT_CONN_DEBUG_HOST;
    return TGT_CONN_USB;
}

QString Bench::kindName(unsigned kind)
{
    return BenchPaths::kindFolder(kind);
}

unsigned Bench::kindFromName(const QString &name)
{
    return BenchPaths::kindFromFolder(name);
}

bool Bench::plug(const BenchHandset &h, QString *error)
{
    if (!BenchPaths::isValidPortName(h.port)) {
        setError(error, QStringLiteral("bad port name \"%1\": letters, digits, '_' and '-', at most 32").arg(h.port));
        return false;
    }
    if (BenchPaths::kindFolder(h.kind).isEmpty()) {
        setError(error, QStringLiteral("unknown connection kind %1").arg(h.kind));
        return false;
    }
    if (!imagePath(h.port).isEmpty()) {
        setError(error, QStringLiteral("%1 is already plugged in").arg(h.port));
        return false;
    }
    HandsetHeader header;
    header.plugId = QRandomGenerator::system()->generate64() | 1u; // never 0
    header.chipId = h.chipId;
    header.kind = h.kind;
    header.flashModel = h.flashModel.toLatin1();
    header.version = h.version.toLatin1();
    header.factoryBase = h.factoryBase;
    header.factorySize = h.factorySize;
    header.userAreaStart = h.userAreaStart;
    header.userAreaSize = h.userAreaSize;
    header.factoryAreaBytes = h.factoryAreaBytes;
    header.userAreaBytes = h.userAreaBytes;
    const QString problem = HandsetImage::checkHeader(header);
    if (!problem.isEmpty()) {
        setError(error, problem);
        return false;
    }
    QByteArray area;
    if (h.blank) {
        area = FactoryStore::buildArea(header.factoryAreaBytes, nullptr, 0);
    } else {
        FactoryRecord record;
        if (!toRecord(h.factory, record, error))
            return false;
        if (record.encode().size() > FactoryStore::slotCapacity(header.factoryAreaBytes)) {
            setError(error, QStringLiteral("the factory data does not fit in the factory area"));
            return false;
        }
        area = FactoryStore::buildArea(header.factoryAreaBytes, &record, qMax<quint64>(1, h.factory.sequence));
    }
    const QString folder = dir() + QLatin1Char('/') + BenchPaths::kindFolder(h.kind);
    if (!QDir().mkpath(folder)) {
        setError(error, QStringLiteral("cannot create %1").arg(folder));
        return false;
    }
    FaultStore::clear(h.port, QString(), nullptr); // faults of an earlier handset of that name do not carry over
    QByteArray user;
    if (!h.userAreaErased) {
        const QByteArray pattern("user data of the handset\n");
        user = pattern.repeated(qsizetype(h.userAreaBytes) / pattern.size() + 1).left(qsizetype(h.userAreaBytes));
    }
    return HandsetImage::create(BenchPaths::imagePath(h.kind, h.port), header, area, user, error) == TGT_OK;
}

bool Bench::unplug(const QString &port, QString *error)
{
    const QString path = imagePath(port);
    if (path.isEmpty()) {
        setError(error, QStringLiteral("nothing is plugged in as %1").arg(port));
        return false;
    }
    // A look at the handset (a scan's probe, `handset show`) holds its image open for an instant, and some
    // systems refuse to remove an open file: the unplug waits that instant out.
    QDeadlineTimer patience(2000);
    while (!QFile::remove(path)) {
        if (!QFileInfo::exists(path))
            break;
        if (patience.hasExpired()) {
            setError(error, QStringLiteral("cannot remove %1").arg(path));
            return false;
        }
        QThread::msleep(5);
    }
    FaultStore::clear(port, QString(), nullptr);
    return true;
}

QStringList Bench::ports()
{
    QStringList all;
    for (unsigned kind : {TGT_CONN_USB, TGT_CONN_SERIAL, TGT_CONN_DEBUG_HOST})
        all += BenchPaths::portsIn(kind);
    all.sort(Qt::CaseSensitive);
    return all;
}

bool Bench::read(const QString &port, BenchHandset &out, QString *error)
{
    unsigned kind = 0;
    QString path;
    if (!BenchPaths::locate(port, kind, path)) {
        setError(error, QStringLiteral("nothing is plugged in as %1").arg(port));
        return false;
    }
    HandsetHeader header;
    QByteArray factory, user;
    int rc = HandsetImage::readHeader(path, header);
    if (rc == TGT_OK)
        rc = HandsetImage::readFactoryArea(path, header, factory);
    if (rc == TGT_OK)
        rc = HandsetImage::readUserArea(path, header, user);
    if (rc != TGT_OK) {
        setError(error, QString::fromStdString(TargetStrError(rc)));
        return false;
    }
    BenchHandset h;
    h.port = port;
    h.kind = kind;
    h.chipId = header.chipId;
    h.flashModel = QString::fromLatin1(header.flashModel);
    h.version = QString::fromLatin1(header.version);
    h.factoryBase = header.factoryBase;
    h.factorySize = header.factorySize;
    h.userAreaStart = header.userAreaStart;
    h.userAreaSize = header.userAreaSize;
    h.factoryAreaBytes = header.factoryAreaBytes;
    h.userAreaBytes = header.userAreaBytes;
    const FactoryStore::Area area = FactoryStore::parseArea(factory);
    h.validCopies = int(area.slot[0].valid) + int(area.slot[1].valid);
    const int newest = area.newest();
    h.blank = newest < 0;
    if (newest >= 0)
        h.factory = fromRecord(area.slot[newest].record, area.slot[newest].sequence);
    h.userAreaErased = user.count(char(0xFF)) == user.size();
    h.inUse = lockHeld(port);
    out = h;
    return true;
}

bool Bench::setVersion(const QString &port, const QString &version, QString *error)
{
    const QString path = imagePath(port);
    HandsetHeader header;
    int rc = path.isEmpty() ? int(TGT_ERR_NO_DEVICE) : HandsetImage::readHeader(path, header);
    if (rc == TGT_OK) {
        header.version = version.toLatin1();
        if (!HandsetImage::checkHeader(header).isEmpty()) {
            setError(error, HandsetImage::checkHeader(header));
            return false;
        }
        rc = HandsetImage::writeHeader(path, header);
    }
    if (rc != TGT_OK)
        setError(error, QString::fromStdString(TargetStrError(rc)));
    return rc == TGT_OK;
}

quint32 Bench::stationMagic(const QStringList &names)
{
    return StationList::magic(names);
}

quint32 Bench::currentStationMagic()
{
    return StationList::magic(StationList::read(StationList::path()));
}

QList<unsigned> Bench::supportedChips()
{
    QList<unsigned> chips;
    for (unsigned id = 0; id <= 0xFFFF; ++id) {
        if (ChipInfo::IsChipIdSupported(id))
            chips.append(id);
    }
    return chips;
}

QStringList Bench::knownFlashModels()
{
    return {QStringLiteral("FM64A"), QStringLiteral("FM128A"), QStringLiteral("FM256B")};
}

bool Bench::writeLod(const QString &path, unsigned kind, unsigned chipId, const QByteArray &payload, QString *error)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    const QByteArray bytes = LodFormat::encode(kind, chipId, payload);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        setError(error, QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}

int Bench::writeRamrunImages(const QString &dir, QString *error)
{
    int written = 0;
    for (unsigned kind : {TGT_CONN_USB, TGT_CONN_SERIAL, TGT_CONN_DEBUG_HOST}) {
        for (unsigned chip : supportedChips()) {
            for (const QString &model : knownFlashModels()) {
                const QString name = ChipInfo::RamrunFname(kind, chip, model.toStdString());
                // A small, reproducible programmer body: the same bytes on every build.
                QByteArray payload(2048, '\0');
                quint32 x = tgtCrc32(name.toLatin1());
                for (char &b : payload) {
                    x = x * 1664525u + 1013904223u;
                    b = char(x >> 24);
                }
                if (!writeLod(dir + QLatin1Char('/') + name, kind, chip, payload, error))
                    return -1;
                ++written;
            }
        }
    }
    return written;
}

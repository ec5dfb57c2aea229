#include "BenchFixture.h"

#include <QDebug>
#include <QDir>
#include <QFile>

namespace {

void restoreEnv(const char *name, bool had, const QByteArray &value)
{
    if (had)
        qputenv(name, value);
    else
        qunsetenv(name);
}

} // namespace

BenchFixture::BenchFixture(const QStringList &stations)
    : m_oldBench(qgetenv("TGTLINK_BENCH")), m_oldStations(qgetenv("TGTLINK_STATIONS")),
      m_oldScale(qgetenv("TGTLINK_DELAY_SCALE")), m_hadBench(qEnvironmentVariableIsSet("TGTLINK_BENCH")),
      m_hadStations(qEnvironmentVariableIsSet("TGTLINK_STATIONS")),
      m_hadScale(qEnvironmentVariableIsSet("TGTLINK_DELAY_SCALE")), m_oldCwd(QDir::currentPath())
{
    if (!m_dir.isValid())
        return;
    qputenv("TGTLINK_BENCH", benchDir().toLocal8Bit());
    qputenv("TGTLINK_DELAY_SCALE", "0");
    QString error;
    m_valid = QDir().mkpath(benchDir()) && setStations(stations) && Bench::writeRamrunImages(runtimeDir(), &error) > 0;
    if (!m_valid)
        qWarning() << "BenchFixture:" << error;
}

BenchFixture::~BenchFixture()
{
    QDir::setCurrent(m_oldCwd);
    restoreEnv("TGTLINK_BENCH", m_hadBench, m_oldBench);
    restoreEnv("TGTLINK_STATIONS", m_hadStations, m_oldStations);
    restoreEnv("TGTLINK_DELAY_SCALE", m_hadScale, m_oldScale);
}

QStringList BenchFixture::defaultStations()
{
    return {QStringLiteral("CALIBRATION"), QStringLiteral("BT_TEST"), QStringLiteral("FINAL_TEST"),
            QStringLiteral("IMEI_WRITE")};
}

QString BenchFixture::benchDir() const
{
    return m_dir.filePath(QStringLiteral("bench"));
}

void BenchFixture::enterRuntimeDir()
{
    QDir::setCurrent(runtimeDir());
}

bool BenchFixture::setStations(const QStringList &names)
{
    // A fresh name each time: the library reads a station list once per path.
    const QString path = m_dir.filePath(m_stationFiles++ == 0 ? QStringLiteral("stations.txt")
                                                              : QStringLiteral("stations-%1.txt").arg(m_stationFiles));
    QFile file(path);
    const QByteArray text = names.join(QLatin1Char('\n')).toUtf8() + '\n';
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.flush())
        return false;
    file.close();
    m_stationsPath = path;
    qputenv("TGTLINK_STATIONS", path.toLocal8Bit());
    return true;
}

BenchHandset BenchFixture::handset(const QString &port)
{
    BenchHandset h;
    h.port = port;
    h.kind = Bench::defaultKindFor(port);
    return h;
}

bool BenchFixture::plug(const BenchHandset &handset)
{
    QString error;
    if (Bench::plug(handset, &error))
        return true;
    qWarning() << "BenchFixture: plug" << handset.port << "failed:" << error;
    return false;
}

bool BenchFixture::unplug(const QString &port)
{
    return Bench::unplug(port);
}

BenchHandset BenchFixture::read(const QString &port) const
{
    BenchHandset h;
    QString error;
    if (!Bench::read(port, h, &error)) {
        qWarning() << "BenchFixture: read" << port << "failed:" << error;
        h = BenchHandset();
        h.port.clear();
    }
    return h;
}

bool BenchFixture::fault(const QString &port, const QString &op, int code, bool once)
{
    return BenchFaults::setFault(port, op, code, once);
}

bool BenchFixture::powerCut(const QString &port, qint64 bytes, bool once)
{
    return BenchFaults::setPowerCut(port, bytes, once);
}

bool BenchFixture::clearFaults(const QString &port)
{
    return BenchFaults::clear(port);
}

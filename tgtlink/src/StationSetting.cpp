#include "tgtlink/StationSetting.h"

#include "Crc32.h"
#include "StationList.h"

#include <QCoreApplication>
#include <QFile>
#include <QMutex>

namespace {

QMutex mutex;
QString loadedPath; // guarded by mutex

} // namespace

QString StationList::path()
{
    const QString fromEnv = qEnvironmentVariable("TGTLINK_STATIONS");
    if (!fromEnv.isEmpty())
        return fromEnv;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/stations.txt");
}

QStringList StationList::parse(const QByteArray &text)
{
    QStringList names;
    for (const QByteArray &raw : text.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty() || line.startsWith('#') || line.size() > MaxNameLength)
            continue;
        bool printable = true;
        for (char c : line)
            printable = printable && c > 0x20 && c < 0x7F;
        const QString name = QString::fromLatin1(line);
        if (printable && !names.contains(name) && names.size() < MaxStations)
            names.append(name);
    }
    return names;
}

QStringList StationList::read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxFileBytes)
        return {};
    return parse(file.read(MaxFileBytes));
}

StationSetting *StationSetting::Instance()
{
    static StationSetting instance;
    // Read once per station list: a test that points TGTLINK_STATIONS elsewhere gets the new list.
    QMutexLocker locker(&mutex);
    const QString path = StationList::path();
    if (path != loadedPath) {
        instance.m_names = StationList::read(path);
        loadedPath = path;
    }
    return &instance;
}

QStringList StationSetting::getStationNames() const
{
    QMutexLocker locker(&mutex);
    return m_names;
}

StationSetting::StationSetting() = default;

quint32 StationList::magic(const QStringList &names)
{
    return tgtCrc32(names.join(QLatin1Char('\n')).toUtf8());
}

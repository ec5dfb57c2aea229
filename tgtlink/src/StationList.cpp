#include "StationList.h"

#include "Crc32.h"

#include <QCoreApplication>
#include <QFile>

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

quint32 StationList::magic(const QStringList &names)
{
    return tgtCrc32(names.join(QLatin1Char('\n')).toUtf8());
}

#pragma once

#include <QStringList>

// The station list file: one station name per line, '#' starts a comment line. Names are printable, without
// blanks, at most 32 characters; repeated names count once.
namespace StationList {

constexpr int MaxNameLength = 32;
constexpr int MaxStations = 64;
constexpr qint64 MaxFileBytes = 64 * 1024;

QString path(); // TGTLINK_STATIONS, else stations.txt beside the executable
QStringList parse(const QByteArray &text);
QStringList read(const QString &path);
// Checksum of the names in order: the factory data keeps it to know which list it was written for.
quint32 magic(const QStringList &names);

} // namespace StationList

#pragma once

#include "BenchHandset.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The bench of simulated handsets: a directory (TGTLINK_BENCH, else bench/ beside the executable) with one
// image file per plugged handset in usb/, com/ or dbg/, named like its port.
class Bench final
{
public:
    static QString dir();
    static QString imagePath(const QString &port); // empty when nothing is plugged in under that name
    static bool isValidPortName(const QString &port);
    // usb for names starting "USB", com for "COM", dbg for "DBG", else usb.
    static unsigned defaultKindFor(const QString &port);
    static QString kindName(unsigned kind);            // "usb", "com", "dbg"
    static unsigned kindFromName(const QString &name); // 0 when unknown

    // Plugs a handset in: writes its image atomically. Fails when the name is taken or a value cannot be held.
    static bool plug(const BenchHandset &handset, QString *error = nullptr);
    // Removes the image (and its faults); the lock of a connection still open stays until it is deleted.
    static bool unplug(const QString &port, QString *error = nullptr);
    static QStringList ports(); // every plugged port, sorted
    static bool read(const QString &port, BenchHandset &handset, QString *error = nullptr);
    static bool setVersion(const QString &port, const QString &version, QString *error = nullptr);

    static quint32 stationMagic(const QStringList &names);
    static quint32 currentStationMagic(); // of the station list in use (TGTLINK_STATIONS or stations.txt)

    // RAM-run images.
    static QList<unsigned> supportedChips();
    static QStringList knownFlashModels();
    static bool writeLod(const QString &path, unsigned kind, unsigned chipId, const QByteArray &payload,
                         QString *error = nullptr);
    // Every image the library names for the supported chips and known flash models, under `dir`/ramrun/.
    static int writeRamrunImages(const QString &dir, QString *error = nullptr);
};

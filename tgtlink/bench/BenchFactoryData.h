#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>

// Factory data of a bench handset, as plugged in or as read back.
struct BenchFactoryData
{
    QStringList imeis; // up to four; missing entries are empty
    QString mbsn;
    QString psn;
    QString bt;
    QMap<QString, bool> stations; // stations with a recorded result: true passed, false failed
    // The station list the data belongs to. Unset when plugging: the current station list's.
    std::optional<quint32> stationMagic;
    quint64 sequence = 0; // read back: sequence number of the copy in use
};

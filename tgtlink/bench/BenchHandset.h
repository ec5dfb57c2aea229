#pragma once

#include "BenchFactoryData.h"
#include "tgtlink/TargetConnection.h"

#include <QString>
#include <QtGlobal>

// A simulated handset: what `Bench::plug` writes into an image and `Bench::read` gives back.
struct BenchHandset
{
    static constexpr quint32 NotReported = 0xFFFFFFFFu;

    QString port;
    unsigned kind = TGT_CONN_USB;
    unsigned chipId = 0x51A0;
    QString flashModel = QStringLiteral("FM64A");       // empty: the handset does not identify its flash
    QString version = QStringLiteral("W25.10.1_BENCH"); // empty: the handset reports no version
    // Layout as the handset reports it; NotReported for "not reported".
    quint32 factoryBase = 0x003F0000;
    quint32 factorySize = 0x2000;
    quint32 userAreaStart = 0x00400000;
    quint32 userAreaSize = 0x10000;
    // Storage held in the image.
    quint32 factoryAreaBytes = 0x2000;
    quint32 userAreaBytes = 0x10000;

    bool blank = true; // no factory data at all; otherwise `factory` is written as the current copy
    BenchFactoryData factory;
    // Every user-area byte is 0xFF. Plugged with false, the user area holds user data (a fixed pattern), so
    // that an erase shows.
    bool userAreaErased = false;

    // Read back only.
    int validCopies = 0; // factory-data copies that pass their checks (0 to 2)
    bool inUse = false;  // a connection holds the handset
};

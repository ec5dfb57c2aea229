#pragma once

#include <QByteArray>
#include <QtGlobal>

// The fixed part of a handset image: what the handset reports about itself and the sizes of its areas.
struct HandsetHeader
{
    static constexpr quint32 NotReported = 0xFFFFFFFFu;

    quint64 plugId = 0; // drawn at plug time: tells a replugged handset from the one a connection opened
    quint32 chipId = 0;
    quint32 kind = 0;
    QByteArray flashModel; // empty: not identified
    QByteArray version;    // empty: the handset reports none
    quint32 factoryBase = NotReported;
    quint32 factorySize = NotReported;
    quint32 userAreaStart = NotReported;
    quint32 userAreaSize = NotReported;
    quint32 factoryAreaBytes = 0; // bytes of factory-data storage in the image (two copies)
    quint32 userAreaBytes = 0;    // bytes of user-data storage in the image
};

#include "tgtlink/LodData.h"

#include "LodFormat.h"

#include <QFile>

bool LodData::load(const QString &path)
{
    m_loaded = false;
    m_chipId = 0;
    m_kind = 0;
    m_payload.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > LodFormat::MaxFileBytes)
        return false;
    const QByteArray bytes = file.read(LodFormat::MaxFileBytes + 1);
    quint32 kind = 0;
    quint32 chip = 0;
    QByteArray payload;
    if (!LodFormat::decode(bytes, kind, chip, payload))
        return false;
    m_kind = kind;
    m_chipId = chip;
    m_payload = payload;
    m_loaded = true;
    return true;
}

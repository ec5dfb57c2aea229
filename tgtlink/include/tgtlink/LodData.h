#pragma once

#include <QByteArray>
#include <QString>

// A RAM-run image read from disk and checked.
class LodData
{
public:
    bool load(const QString &path);

    unsigned chipId() const { return m_chipId; }
    unsigned connectionKind() const { return m_kind; }
    const QByteArray &payload() const { return m_payload; }
    bool isLoaded() const { return m_loaded; }

private:
    bool m_loaded = false;
    unsigned m_chipId = 0;
    unsigned m_kind = 0;
    QByteArray m_payload;
};

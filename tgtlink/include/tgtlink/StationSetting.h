#pragma once

#include <QStringList>

// The production line's station names, read once from the station list beside the executable.
class StationSetting
{
public:
    static StationSetting *Instance();

    QStringList getStationNames() const;

private:
    StationSetting();
    QStringList m_names;
};

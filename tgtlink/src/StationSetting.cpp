#include "tgtlink/StationSetting.h"

#include "StationList.h"

#include <QMutex>

namespace {

QMutex mutex;
QString loadedPath; // guarded by mutex

} // namespace

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

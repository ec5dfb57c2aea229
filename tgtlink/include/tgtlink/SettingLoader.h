#pragma once

#include <QString>
#include <memory>

class QSettings;
class QVariant;

// Moves values between variables and an INI file: from the file when `load` is true, into it otherwise.
// In the writing direction the file is complete once the loader is destroyed.
class SettingLoader
{
public:
    SettingLoader(const QString &path, bool load);
    ~SettingLoader();

    void beginGroup(const QString &group);
    void endGroup();
    void value(const QString &key, QString &v);
    void value(const QString &key, bool &v);
    void value(const QString &key, int &v);

    bool isLoading() const { return m_load; }
    // Writing: replaces the file with what was stored so far; true when the new file is in place. The destructor
    // commits when this was not called. Reading: true.
    bool commit();

private:
    bool storeOrFetch(const QString &key, const QVariant &v, QVariant &stored);

    SettingLoader(const SettingLoader &) = delete;
    SettingLoader &operator=(const SettingLoader &) = delete;

    QString m_path;
    bool m_load;
    std::unique_ptr<QSettings> m_settings;
};

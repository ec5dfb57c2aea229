#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <memory>

class QSettings;
class QVariant;

// Moves values between variables and an INI file: from the file when `load` is true, into it otherwise.
// In the writing direction the file is complete once the loader is committed or destroyed.
//
// A file that exists but cannot be read whole or written back (not a file, over 1 MiB, unreadable, read-only, a
// line the format cannot take) is left as it is in both directions: reading leaves every variable alone,
// writing changes nothing, and problem() says why.
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
    // An int kept within [min, max]: reading, a stored number beyond the range (beyond int too) becomes the
    // nearest bound. Writing stores the value as it is.
    void value(const QString &key, int &v, int min, int max);

    bool isLoading() const { return m_load; }
    // Writing: replaces the file with what was stored so far; true when the new file is in place. The destructor
    // commits when this was not called. Reading: true when the file was read (or there is none).
    bool commit();
    // Why the file is not read or not written; empty when it is. With the line, when one line is the cause.
    QString problem() const { return m_problem; }
    int problemLine() const { return m_problemLine; }

    enum class InPlace
    {
        Saved,
        NotSaved,   // the file is as it was; `problem` says why
        NotInPlace, // nothing done: the file does not allow it, save through a loader
    };
    // Puts new values for keys of `group` into the file without going through the settings format: only where
    // the file holds each key once, as a plain `key=value` line of that group, and each value is letters and
    // digits or empty, which the format writes as they are. Every other byte stays. Replaced atomically, on disk at
    // Saved.
    static InPlace replaceInPlace(const QString &path, const QString &group,
                                  const QList<QPair<QString, QString>> &values, QString &problem);

private:
    bool storeOrFetch(const QString &key, const QVariant &v, QVariant &stored);
    bool inspect(QByteArray &bytes);

    SettingLoader(const SettingLoader &) = delete;
    SettingLoader &operator=(const SettingLoader &) = delete;

    QString m_path;
    bool m_load;
    std::unique_ptr<QSettings> m_settings;
    QString m_problem;
    int m_problemLine = 0;
};

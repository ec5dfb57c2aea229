#include "tgtlink/SettingLoader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QTemporaryFile>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// A settings file larger than this is not ours: it is treated as missing rather than parsed.
constexpr qint64 MaxFileBytes = 1024 * 1024;

bool usableFile(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isReadable() && info.size() <= MaxFileBytes;
}

// The scratch copy the writing direction edits; the real file is replaced only when it is complete.
QString makeScratch(const QString &path)
{
    QTemporaryFile scratch(QDir::tempPath() + QStringLiteral("/tgtlink-settings-XXXXXX.ini"));
    scratch.setAutoRemove(false);
    if (!scratch.open())
        return QString();
    if (usableFile(path)) {
        QFile original(path);
        if (original.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = original.read(MaxFileBytes);
            if (scratch.write(bytes) != bytes.size()) {
                scratch.remove();
                return QString();
            }
        }
    }
    const QString name = scratch.fileName();
    scratch.close();
    return name;
}

void syncDirectory(const QString &path)
{
#ifdef Q_OS_UNIX
    const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(path);
#endif
}

bool replaceAtomically(const QString &path, const QByteArray &bytes)
{
    // Like QSettings itself, a missing folder (cfg/ on a first run) is created.
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    // On disk before the rename makes it the settings file.
    if (!file.flush()) {
        file.cancelWriting();
        return false;
    }
#ifdef Q_OS_UNIX
    if (::fsync(file.handle()) != 0) {
        file.cancelWriting();
        return false;
    }
#endif
    if (!file.commit())
        return false;
    syncDirectory(path);
    return true;
}

} // namespace

SettingLoader::SettingLoader(const QString &path, bool load) : m_path(path), m_load(load)
{
    if (m_load) {
        if (usableFile(m_path))
            m_settings = std::make_unique<QSettings>(m_path, QSettings::IniFormat);
        if (m_settings && m_settings->status() != QSettings::NoError)
            m_settings.reset();
        return;
    }
    const QString scratch = makeScratch(m_path);
    if (scratch.isEmpty()) {
        qWarning("SettingLoader: no scratch file for %s", qPrintable(m_path));
        return;
    }
    m_settings = std::make_unique<QSettings>(scratch, QSettings::IniFormat);
}

SettingLoader::~SettingLoader()
{
    commit();
}

bool SettingLoader::commit()
{
    if (m_load)
        return true;
    if (!m_settings)
        return false;
    const QString scratch = m_settings->fileName();
    m_settings->sync();
    const bool written = m_settings->status() == QSettings::NoError;
    m_settings.reset();
    QFile file(scratch);
    bool saved = false;
    if (written && file.open(QIODevice::ReadOnly) && file.size() <= 16 * MaxFileBytes) {
        const QByteArray bytes = file.readAll();
        file.close();
        saved = replaceAtomically(m_path, bytes);
    }
    QFile::remove(scratch);
    if (!saved)
        qWarning("SettingLoader: could not save %s; the previous file is kept", qPrintable(m_path));
    return saved;
}

void SettingLoader::beginGroup(const QString &group)
{
    if (m_settings)
        m_settings->beginGroup(group);
}

void SettingLoader::endGroup()
{
    if (m_settings)
        m_settings->endGroup();
}

// Writing: stores the value and gives false. Reading: gives the stored value, false when there is no file.
bool SettingLoader::storeOrFetch(const QString &key, const QVariant &v, QVariant &stored)
{
    if (!m_settings)
        return false;
    if (!m_load) {
        m_settings->setValue(key, v);
        return false;
    }
    stored = m_settings->value(key);
    return true;
}

void SettingLoader::value(const QString &key, QString &v)
{
    QVariant stored;
    if (!storeOrFetch(key, QVariant(v), stored))
        return;
    switch (stored.typeId()) {
    case QMetaType::QString:
        v = stored.toString();
        break;
    case QMetaType::QStringList: // an unquoted value with commas in a hand-edited file
        v = stored.toStringList().join(QStringLiteral(", "));
        break;
    default:
        break; // missing or not text: left as it is
    }
}

void SettingLoader::value(const QString &key, bool &v)
{
    QVariant stored;
    if (!storeOrFetch(key, QVariant(v), stored))
        return;
    if (stored.typeId() == QMetaType::Bool) {
        v = stored.toBool();
        return;
    }
    if (stored.typeId() != QMetaType::QString)
        return;
    const QString text = stored.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1"))
        v = true;
    else if (text == QLatin1String("false") || text == QLatin1String("0"))
        v = false;
}

void SettingLoader::value(const QString &key, int &v)
{
    QVariant stored;
    if (!storeOrFetch(key, QVariant(v), stored))
        return;
    if (stored.typeId() == QMetaType::Int) {
        v = stored.toInt();
        return;
    }
    if (stored.typeId() != QMetaType::QString)
        return;
    bool ok = false;
    const int parsed = stored.toString().trimmed().toInt(&ok);
    if (ok)
        v = parsed;
}

#include "tgtlink/SettingLoader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStringDecoder>
#include <QTemporaryFile>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// A settings file larger than this is not ours.
constexpr qint64 MaxFileBytes = 1024 * 1024;

const QByteArray Utf8Mark("\xEF\xBB\xBF");

// The first line of `text` that the settings format cannot take whole: 1-based, 0 when there is none. The
// format reads a carriage return as a line end; an editor's byte-order mark at the start is allowed.
int badLine(const QByteArray &text, QString &why)
{
    const QByteArray body = text.startsWith(Utf8Mark) ? text.mid(Utf8Mark.size()) : text;
    const QList<QByteArray> lines = body.split('\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QByteArray &line = lines[n];
        if (line.contains('\0')) {
            why = QStringLiteral("a NUL byte");
            return int(n + 1);
        }
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = utf8(line); // decoding is what finds the bytes that are no UTF-8
        if (utf8.hasError()) {
            why = QStringLiteral("bytes that are not UTF-8 text");
            return int(n + 1);
        }
        for (const QByteArray &part : line.split('\r')) {
            qsizetype i = 0;
            while (i < part.size() && (part[i] == ' ' || part[i] == '\t'))
                ++i;
            if (i == part.size() || part[i] == ';')
                continue; // blank or a comment
            if (part[i] == '[') {
                if (part.indexOf(']', i) < 0) {
                    why = QStringLiteral("a group name without its closing bracket");
                    return int(n + 1);
                }
                continue;
            }
            bool quoted = false, equals = false;
            for (; i < part.size() && !equals; ++i) {
                if (part[i] == '\\')
                    ++i; // escapes the character after it, an '=' too
                else if (part[i] == '"')
                    quoted = !quoted;
                else if (part[i] == '=' && !quoted)
                    equals = true;
            }
            if (!equals) {
                why = QStringLiteral("a line without '=' (a key and its value)");
                return int(n + 1);
            }
        }
    }
    return 0;
}

// The scratch copy the writing direction edits; the real file is replaced only when it is complete.
QString makeScratch(const QByteArray &original)
{
    QTemporaryFile scratch(QDir::tempPath() + QStringLiteral("/tgtlink-settings-XXXXXX.ini"));
    scratch.setAutoRemove(false);
    if (!scratch.open())
        return QString();
    // The settings format keeps a byte-order mark on reading but cannot write after one: the new file has none.
    const QByteArray bytes = original.startsWith(Utf8Mark) ? original.mid(Utf8Mark.size()) : original;
    if (scratch.write(bytes) != bytes.size()) {
        scratch.remove();
        return QString();
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

// A file that exists is used only when it can be read whole and written back: otherwise neither direction
// touches it, so that it is never replaced by defaults.
bool SettingLoader::inspect(QByteArray &bytes)
{
    const QFileInfo info(m_path);
    if (!info.exists())
        return true; // a first run: the defaults, and a save creates it
    if (!info.isFile()) {
        m_problem = QStringLiteral("it is not a file");
        return false;
    }
    if (info.size() > MaxFileBytes) {
        m_problem = QStringLiteral("it is larger than 1 MiB");
        return false;
    }
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_problem = QStringLiteral("it cannot be read (%1)").arg(file.errorString());
        return false;
    }
    bytes = file.read(MaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() != info.size()) {
        m_problem = QStringLiteral("it cannot be read whole");
        return false;
    }
    if (!info.isWritable()) {
        m_problem = QStringLiteral("it cannot be written");
        return false;
    }
    QString why;
    m_problemLine = badLine(bytes, why);
    if (m_problemLine > 0) {
        m_problem = QStringLiteral("line %1 holds %2").arg(m_problemLine).arg(why);
        return false;
    }
    return true;
}

SettingLoader::SettingLoader(const QString &path, bool load) : m_path(path), m_load(load)
{
    QByteArray bytes;
    if (!inspect(bytes)) {
        qWarning("SettingLoader: %s is left as it is: %s", qPrintable(m_path), qPrintable(m_problem));
        return;
    }
    if (m_load && !QFileInfo::exists(m_path))
        return; // nothing to read: every variable stays as it is
    // Both directions work on a copy of the bytes inspected: reading sees exactly what was checked, and never an
    // earlier version of the same path that the settings format still holds in its cache (same size, same
    // modification time).
    const QString scratch = makeScratch(bytes);
    if (scratch.isEmpty()) {
        m_problem = QStringLiteral("no scratch file could be made");
        return;
    }
    m_settings = std::make_unique<QSettings>(scratch, QSettings::IniFormat);
    if (!m_load)
        return;
    if (m_settings->status() != QSettings::NoError) {
        m_problem = QStringLiteral("it is not in the settings format");
    } else {
        // A file the format reads but cannot write back would make every later save fail: found out now, on the
        // copy, with a key outside every group the tool reads.
        m_settings->setValue(QStringLiteral("tgtlink-write-check"), true);
        m_settings->sync();
        if (m_settings->status() != QSettings::NoError)
            m_problem = QStringLiteral("it cannot be written back in the settings format");
    }
    if (!m_problem.isEmpty()) {
        m_settings.reset();
        QFile::remove(scratch);
    }
}

SettingLoader::~SettingLoader()
{
    if (m_load && m_settings) {
        const QString scratch = m_settings->fileName();
        m_settings.reset();
        QFile::remove(scratch);
        return;
    }
    commit();
}

bool SettingLoader::commit()
{
    if (m_load)
        return m_problem.isEmpty();
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
    if (!saved) {
        m_problem = written ? QStringLiteral("it could not be replaced")
                            : QStringLiteral("the new content could not be written");
        qWarning("SettingLoader: could not save %s; the previous file is kept", qPrintable(m_path));
    }
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

void SettingLoader::value(const QString &key, int &v, int min, int max)
{
    QVariant stored;
    if (!storeOrFetch(key, QVariant(v), stored))
        return;
    if (stored.typeId() == QMetaType::Int) {
        v = std::clamp(stored.toInt(), min, max);
        return;
    }
    if (stored.typeId() != QMetaType::QString)
        return;
    // An optional sign and digits, of any length: a number too big for int still says "above the range".
    const QString text = stored.toString().trimmed();
    const bool negative = text.startsWith(QLatin1Char('-'));
    const QStringView digits = QStringView(text).mid(negative || text.startsWith(QLatin1Char('+')) ? 1 : 0);
    if (digits.isEmpty())
        return;
    for (QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return; // not a number: left as it is
    }
    bool ok = false;
    const qlonglong parsed = digits.toLongLong(&ok);
    if (!ok)
        v = negative ? min : max; // more digits than any long long
    else
        v = int(std::clamp<qlonglong>(negative ? -parsed : parsed, min, max));
}

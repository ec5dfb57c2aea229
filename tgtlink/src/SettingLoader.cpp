#include "tgtlink/SettingLoader.h"

#include "AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSettings>
#include <QStringDecoder>
#include <QTemporaryFile>

#include <algorithm>

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

// A value as the settings format gives it back from a file: text, or a list of texts.
QString comparable(const QVariant &value)
{
    if (value.typeId() == QMetaType::QStringList)
        return QStringLiteral("list:") + value.toStringList().join(QChar(0x1f));
    return QStringLiteral("text:") + value.toString();
}

// The keys of `settings` (synced to its file) that a copy of the file does not give back as they are.
QStringList unstableKeys(QSettings &settings)
{
    QFile file(settings.fileName());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    file.close();
    // A copy under its own name: the format would answer a second reader of the same path from its cache.
    const QString copy = makeScratch(bytes);
    if (copy.isEmpty())
        return {};
    QStringList unstable;
    {
        QSettings back(copy, QSettings::IniFormat);
        // By the names listed: a lookup would find a key by another spelling of its path.
        const QStringList backKeys = back.allKeys();
        const QSet<QString> found(backKeys.cbegin(), backKeys.cend());
        const QStringList keys = settings.allKeys();
        for (const QString &key : keys) {
            if (!found.contains(key) || comparable(back.value(key)) != comparable(settings.value(key)))
                unstable.append(key);
        }
    }
    QFile::remove(copy);
    return unstable;
}

} // namespace

// A file that exists is used only when it can be read whole and written back: otherwise neither direction
// touches it, so that it is never replaced by defaults.
namespace {
bool inspectFile(const QString &path, QByteArray &bytes, QString &problem, int &problemLine)
{
    const QFileInfo info(path);
    if (!info.exists())
        return true; // a first run: the defaults, and a save creates it
    if (!info.isFile()) {
        problem = QStringLiteral("it is not a file");
        return false;
    }
    if (info.size() > MaxFileBytes) {
        problem = QStringLiteral("it is larger than 1 MiB");
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        problem = QStringLiteral("it cannot be read (%1)").arg(file.errorString());
        return false;
    }
    bytes = file.read(MaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() != info.size()) {
        problem = QStringLiteral("it cannot be read whole");
        return false;
    }
    if (!info.isWritable()) {
        problem = QStringLiteral("it cannot be written");
        return false;
    }
    QString why;
    problemLine = badLine(bytes, why);
    if (problemLine > 0) {
        problem = QStringLiteral("line %1 holds %2").arg(problemLine).arg(why);
        return false;
    }
    return true;
}
} // namespace

bool SettingLoader::inspect(QByteArray &bytes)
{
    return inspectFile(m_path, bytes, m_problem, m_problemLine);
}

namespace {
// Letters and digits only: what the settings format writes as it is.
bool isPlain(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) {
        return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
               (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
    });
}
} // namespace

SettingLoader::InPlace SettingLoader::replaceInPlace(const QString &path, const QString &group,
                                                     const QList<QPair<QString, QString>> &values, QString &problem)
{
    for (const auto &[key, value] : values) {
        if (key.isEmpty() || !isPlain(key) || !isPlain(value) || group.isEmpty() || !isPlain(group))
            return InPlace::NotInPlace;
    }
    QByteArray bytes;
    QString why;
    int line = 0;
    // A file that is missing or unusable is the loader's to create or to refuse.
    if (!QFileInfo::exists(path) || !inspectFile(path, bytes, why, line) || bytes.startsWith(Utf8Mark) ||
        bytes.contains('\r'))
        return InPlace::NotInPlace;
    QList<QByteArray> lines = bytes.split('\n');
    const QByteArray groupName = group.toLatin1();
    QByteArray current = "General";
    std::vector<qsizetype> at(values.size(), -1);
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QByteArray text = lines.at(n).trimmed();
        if (text.endsWith('\\'))
            return InPlace::NotInPlace; // the next line would continue this one
        if (text.isEmpty() || text.startsWith(';'))
            continue;
        if (text.startsWith('[')) {
            current = text.mid(1, text.indexOf(']') - 1).trimmed();
            // A group name that differs only in case, or is escaped, may be the same group to the format.
            if (current != groupName && (current.compare(groupName, Qt::CaseInsensitive) == 0 ||
                                         current.contains('%') || current.contains('\\')))
                return InPlace::NotInPlace;
            continue;
        }
        const QByteArray key = text.left(text.indexOf('=')).trimmed();
        // Escaped keys and keys with a path could name one of ours in another spelling.
        if (key.contains('%') || key.contains('\\') || key.contains('"') || key.contains('/'))
            return InPlace::NotInPlace;
        for (qsizetype k = 0; k < values.size(); ++k) {
            const QByteArray wanted = values.at(k).first.toLatin1();
            if (key.compare(wanted, Qt::CaseInsensitive) != 0)
                continue;
            if (current != groupName)
                return InPlace::NotInPlace;
            // Only a plain line, once: anything else is left to the format.
            if (at[k] >= 0 || !lines.at(n).startsWith(QByteArray(wanted + '=')))
                return InPlace::NotInPlace;
            at[k] = n;
        }
    }
    if (std::find(at.cbegin(), at.cend(), qsizetype(-1)) != at.cend())
        return InPlace::NotInPlace;
    for (qsizetype k = 0; k < values.size(); ++k)
        lines[at[k]] = values.at(k).first.toLatin1() + '=' + values.at(k).second.toLatin1();
    if (!AtomicFile::replace(path, lines.join('\n'))) {
        problem = QStringLiteral("it could not be replaced");
        return InPlace::NotSaved;
    }
    return InPlace::Saved;
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
    while (!m_settings->group().isEmpty())
        m_settings->endGroup();
    m_settings->sync();
    // Keys another program left that the format does not write back as it read them (backslashes in a key, a
    // byte-order mark inside a value) would change with every save or make the file unreadable: dropped, each
    // named in a warning, until the file reads back as written. The others are copied into a new scratch file:
    // such a key's name may not even address it (a removal of "//" would remove every key).
    bool rebuilt = false;
    for (int round = 0; round < 4 && m_settings->status() == QSettings::NoError; ++round) {
        const QStringList unstable = unstableKeys(*m_settings);
        if (unstable.isEmpty())
            break;
        rebuilt = true;
        for (const QString &key : unstable) {
            qWarning("SettingLoader: %s loses the key \"%s\", which it cannot write back as it was", qPrintable(m_path),
                     qPrintable(key));
        }
        const QString fresh = makeScratch(QByteArray());
        if (fresh.isEmpty())
            break;
        {
            QSettings rebuilt(fresh, QSettings::IniFormat);
            const QStringList keys = m_settings->allKeys();
            for (const QString &key : keys) {
                if (!unstable.contains(key))
                    rebuilt.setValue(key, m_settings->value(key));
            }
            rebuilt.sync();
            if (rebuilt.status() != QSettings::NoError) {
                QFile::remove(fresh);
                break; // the copy as it is, unstable keys and all, rather than one short of the tool's own
            }
        }
        const QString previous = m_settings->fileName();
        m_settings = std::make_unique<QSettings>(fresh, QSettings::IniFormat);
        QFile::remove(previous);
    }
    // The rebuilt file lists its groups in the order the keys were set; the format writes a file it has read in
    // an order of its own (on Windows the keys outside every group first). Written once more from a reading of
    // it, under a name the format has not cached, so that the next save writes the same bytes.
    if (rebuilt && m_settings->status() == QSettings::NoError) {
        QFile file(m_settings->fileName());
        const QString copy = file.open(QIODevice::ReadOnly) ? makeScratch(file.readAll()) : QString();
        file.close();
        if (!copy.isEmpty()) {
            auto reread = std::make_unique<QSettings>(copy, QSettings::IniFormat);
            const QStringList keys = reread->allKeys();
            if (!keys.isEmpty())
                reread->setValue(keys.first(), reread->value(keys.first()));
            reread->sync();
            if (reread->status() == QSettings::NoError) {
                const QString previous = m_settings->fileName();
                m_settings = std::move(reread);
                QFile::remove(previous);
            } else {
                reread.reset();
                QFile::remove(copy);
            }
        }
    }
    const QString scratch = m_settings->fileName();
    const bool written = m_settings->status() == QSettings::NoError;
    m_settings.reset();
    QFile file(scratch);
    bool saved = false;
    if (written && file.open(QIODevice::ReadOnly) && file.size() <= 16 * MaxFileBytes) {
        const QByteArray bytes = file.readAll();
        file.close();
        saved = AtomicFile::replace(m_path, bytes);
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

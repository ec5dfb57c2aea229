#include "ledger/LineConfig.h"

#include "ledger/LedgerSchema.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <libpq-fe.h>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("LineConfig", text);
}

// The field of a timeout key, null for other keys.
int *timeout(LedgerTimeouts *timeouts, const QString &key)
{
    if (key == QLatin1String("ConnectTimeout"))
        return &timeouts->connect;
    if (key == QLatin1String("StatementTimeout"))
        return &timeouts->statement;
    if (key == QLatin1String("LockTimeout"))
        return &timeouts->lock;
    if (key == QLatin1String("IdleInTransactionTimeout"))
        return &timeouts->idleInTransaction;
    if (key == QLatin1String("KeepaliveTime"))
        return &timeouts->keepalive;
    return nullptr;
}

} // namespace

bool LineConfig::checkConnection(const QString &connection, const QString &source, QString *message)
{
    char *error = nullptr;
    PQconninfoOption *options = PQconninfoParse(connection.toUtf8().constData(), &error);
    // libpq's message quotes the part it cannot read, which may be a password whose keyword was left out.
    PQfreemem(error);
    if (!options || connection.contains(QChar(0))) {
        PQconninfoFree(options);
        if (message)
            *message = tr("The ledger's connection text in %1 cannot be read.").arg(source);
        return false;
    }
    bool password = false;
    for (const PQconninfoOption *option = options; option->keyword; ++option) {
        if (qstrcmp(option->keyword, "password") == 0 && option->val && *option->val)
            password = true;
    }
    PQconninfoFree(options);
    if (password) {
        if (message)
            *message = tr("The ledger's connection text in %1 holds a password: keep it in the password file "
                          "(~/.pgpass) or a service file instead.")
                           .arg(source);
        return false;
    }
    return true;
}

bool LineConfig::load(const QString &path, LineConfig *config, QString *message)
{
    *config = LineConfig();
    QFile file(path);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    // A device or a pipe in its place would read as empty or never end; either way not what the engineer meant.
    if (!info.isFile()) {
        if (message)
            *message = tr("%1 is not a regular file.").arg(path);
        return false;
    }
    if (info.size() > MaxFileSize) {
        if (message)
            *message = tr("%1 is larger than %2 bytes.").arg(path).arg(MaxFileSize);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        if (message)
            *message = tr("%1 cannot be read: %2").arg(path, file.errorString());
        return false;
    }
    // A plain reader rather than QSettings, which would split a connection string at its commas.
    QString section;
    bool hasConnection = false;
    int lineNumber = 0;
    while (!file.atEnd()) {
        ++lineNumber;
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0) {
            if (message)
                *message = tr("%1, line %2: not a key=value line.").arg(path).arg(lineNumber);
            return false;
        }
        if (section.compare(QLatin1String("Ledger"), Qt::CaseInsensitive) != 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (key == QLatin1String("Connection")) {
            config->connection = value;
            hasConnection = true;
        } else if (key == QLatin1String("Station")) {
            config->station = value;
        } else if (key == QLatin1String("SharedCounters")) {
            const QString flag = value.toLower();
            if (flag != QLatin1String("true") && flag != QLatin1String("false") && flag != QLatin1String("1") &&
                flag != QLatin1String("0")) {
                if (message)
                    *message = tr("%1, line %2: SharedCounters is true or false, not \"%3\".")
                                   .arg(path)
                                   .arg(lineNumber)
                                   .arg(value);
                return false;
            }
            config->sharedCounters = flag == QLatin1String("true") || flag == QLatin1String("1");
        } else if (key == QLatin1String("CounterBlock")) {
            bool ok = false;
            const int block = value.toInt(&ok);
            if (!ok || block < 1 || block > 1000000) {
                if (message)
                    *message = tr("%1, line %2: CounterBlock is a number from 1 to 1000000, not \"%3\".")
                                   .arg(path)
                                   .arg(lineNumber)
                                   .arg(value);
                return false;
            }
            config->counterBlock = block;
        } else if (int *seconds = timeout(&config->timeouts, key)) {
            bool ok = false;
            const int number = value.toInt(&ok);
            if (!ok || number < 1 || number > 3600) {
                if (message)
                    *message = tr("%1, line %2: %3 is a number of seconds from 1 to 3600, not \"%4\".")
                                   .arg(path)
                                   .arg(lineNumber)
                                   .arg(key, value);
                return false;
            }
            *seconds = number;
        } else {
            if (message)
                *message = tr("%1, line %2: unknown key \"%3\".").arg(path).arg(lineNumber).arg(key);
            return false;
        }
    }
    // A file that is there means the station belongs to a line: one that names no ledger would take the station
    // off the line without a word, and two stations would then issue the same identities.
    if (!hasConnection || config->connection.isEmpty()) {
        if (message)
            *message = tr("%1 configures no ledger: it needs a [Ledger] section with Connection=. Remove the file "
                          "for a station that works alone.")
                           .arg(path);
        return false;
    }
    if (!checkConnection(config->connection, path, message))
        return false;
    if (config->station.isEmpty()) {
        if (message)
            *message = tr("%1: the line's ledger needs this station's name (Station=).").arg(path);
        return false;
    }
    if (!LedgerSchema::isValidName(config->station)) {
        if (message)
            *message =
                tr("%1: Station= is letters, digits, '_' or '-' (at most 63), as the ledger binds it.").arg(path);
        return false;
    }
    config->configured = true;
    return true;
}

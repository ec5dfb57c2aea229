#include "LedgerCommand.h"

#include "HistoryImport.h"
#include "Ledger.h"
#include "LedgerReports.h"
#include "LedgerSchema.h"
#include "LineConfig.h"

#include <QBuffer>
#include <QDateTime>
#include <QSaveFile>

namespace {

// Takes "--name value" out of `args`; false when the option is there without a value.
bool takeOption(QStringList &args, const QString &name, QString *value, bool *present = nullptr)
{
    const qsizetype at = args.indexOf(name);
    if (present)
        *present = at >= 0;
    if (at < 0)
        return true;
    if (at + 1 >= args.size())
        return false;
    *value = args.at(at + 1);
    args.remove(at, 2);
    return true;
}

int kindOf(const QString &name)
{
    const QString lower = name.toLower();
    if (lower == QLatin1String("imei"))
        return 1;
    if (lower == QLatin1String("mbsn"))
        return 2;
    if (lower == QLatin1String("psn"))
        return 4;
    if (lower == QLatin1String("bt"))
        return 8;
    return -1;
}

// "yyyy-MM-dd" (the day's start, or with `endOfDay` the next day's), or a local date and time.
QDateTime parseWhen(const QString &text, bool endOfDay)
{
    const QDate date = QDate::fromString(text, Qt::ISODate);
    if (date.isValid())
        return (endOfDay ? date.addDays(1) : date).startOfDay();
    for (const char *format : {"yyyy-MM-dd hh:mm:ss", "yyyy-MM-dd hh:mm", "yyyy-MM-ddThh:mm:ss", "yyyy-MM-ddThh:mm"}) {
        const QDateTime when = QDateTime::fromString(text, QLatin1String(format));
        if (when.isValid())
            return when;
    }
    return {};
}

} // namespace

QString LedgerCommand::usage()
{
    return QStringLiteral(
        "Usage: ledger [--config FILE | --connection STRING] COMMAND ...\n"
        "The connection is a libpq connection string without a password (libpq reads that from ~/.pgpass);\n"
        "by default the Connection= of cfg/line.ini. Commands that change the ledger need its owner's role.\n"
        "\n"
        "  create-schema [--station-role NAME]  create the ledger, or bring it up to date; the stations' group\n"
        "                                       role (default ledger_station) is created when missing\n"
        "  add-station ROLE                     a login role for one station, member of the stations' role\n"
        "  check                                whether the schema is at the version this program needs\n"
        "  import --station NAME DIR            a station's history files (DIR holds cfg/, or is it); exit 3\n"
        "                                       when identities are found that two handsets carry\n"
        "  story [--kind imei|mbsn|psn|bt] VALUE  everything the ledger knows of an identity\n"
        "  export --from WHEN --to WHEN [--output FILE]\n"
        "                                       the cycles claimed in the period as CSV (UTC times); WHEN is\n"
        "                                       yyyy-MM-dd (a --to date counts whole) or yyyy-MM-dd hh:mm[:ss]\n");
}

int LedgerCommand::fail(const QString &message, int code)
{
    m_err += message + QLatin1Char('\n');
    return code;
}

int LedgerCommand::failStatus(int status, const QString &message)
{
    return fail(message, status == int(LedgerStatus::Unreachable) ? Unreachable : Failure);
}

int LedgerCommand::run(const QStringList &arguments)
{
    QStringList args = arguments;
    m_out.clear();
    m_err.clear();
    if (args.isEmpty() || args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        m_out = usage();
        return args.isEmpty() ? Failure : Success;
    }
    QString config = LineConfig::defaultPath();
    bool hasConnection = false;
    if (!takeOption(args, QStringLiteral("--config"), &config) ||
        !takeOption(args, QStringLiteral("--connection"), &m_connection, &hasConnection))
        return fail(QStringLiteral("--config and --connection need a value.\n") + usage());
    QString message;
    if (hasConnection) {
        if (!LineConfig::checkConnection(m_connection, &message))
            return fail(message);
    } else {
        LineConfig line;
        if (!LineConfig::load(config, &line, &message))
            return fail(message);
        if (!line.configured)
            return fail(QStringLiteral("No ledger connection: give --connection, or Connection= in %1.").arg(config));
        m_connection = line.connection;
    }
    const QString command = args.takeFirst();
    if (command == QLatin1String("create-schema"))
        return createSchema(args);
    if (command == QLatin1String("add-station"))
        return addStation(args);
    if (command == QLatin1String("check"))
        return check(args);
    if (command == QLatin1String("import"))
        return import(args);
    if (command == QLatin1String("story"))
        return story(args);
    if (command == QLatin1String("export"))
        return exportCycles(args);
    return fail(QStringLiteral("Unknown command \"%1\".\n").arg(command) + usage());
}

int LedgerCommand::createSchema(QStringList args)
{
    QString role = LedgerSchema::defaultStationRole();
    if (!takeOption(args, QStringLiteral("--station-role"), &role) || !args.isEmpty())
        return fail(QStringLiteral("Usage: ledger create-schema [--station-role NAME]"));
    LedgerConnection connection(m_connection, QStringLiteral("ledger"));
    int before = 0;
    QString message;
    LedgerStatus status = LedgerSchema::version(connection, &before, &message);
    if (status == LedgerStatus::Ok)
        status = LedgerSchema::create(connection, role, &message);
    if (status != LedgerStatus::Ok)
        return failStatus(int(status), message);
    if (before == LedgerSchema::currentVersion)
        m_out += QStringLiteral("The ledger is at version %1 already.\n").arg(before);
    else if (before == 0)
        m_out += QStringLiteral("Ledger created at version %1; stations log in as members of %2.\n")
                     .arg(LedgerSchema::currentVersion)
                     .arg(role);
    else
        m_out +=
            QStringLiteral("Ledger brought from version %1 to %2.\n").arg(before).arg(LedgerSchema::currentVersion);
    return Success;
}

int LedgerCommand::addStation(const QStringList &args)
{
    if (args.size() != 1)
        return fail(QStringLiteral("Usage: ledger add-station ROLE"));
    LedgerConnection connection(m_connection, QStringLiteral("ledger"));
    QString message;
    const LedgerStatus status = LedgerSchema::addStation(connection, args.first(), &message);
    if (status != LedgerStatus::Ok)
        return failStatus(int(status), message);
    m_out += QStringLiteral("Station role %1 may now claim identities in the ledger; give it a password with "
                            "ALTER ROLE, and the station a ~/.pgpass entry.\n")
                 .arg(args.first());
    return Success;
}

int LedgerCommand::check(const QStringList &args)
{
    if (!args.isEmpty())
        return fail(QStringLiteral("Usage: ledger check"));
    LedgerConnection connection(m_connection, QStringLiteral("ledger"));
    QString message;
    const LedgerStatus status = LedgerSchema::check(connection, &message);
    if (status != LedgerStatus::Ok)
        return failStatus(int(status), message);
    m_out += QStringLiteral("The ledger is at version %1.\n").arg(LedgerSchema::currentVersion);
    return Success;
}

int LedgerCommand::import(QStringList args)
{
    QString station;
    if (!takeOption(args, QStringLiteral("--station"), &station) || station.isEmpty() || args.size() != 1)
        return fail(QStringLiteral("Usage: ledger import --station NAME DIR"));
    LedgerConnection connection(m_connection, QStringLiteral("ledger"));
    QString message;
    LedgerStatus status = LedgerSchema::check(connection, &message);
    if (status != LedgerStatus::Ok)
        return failStatus(int(status), message);
    HistoryImport importer(connection, station);
    HistoryImport::Report report;
    status = importer.run(args.first(), &report, &message);
    for (const QString &note : std::as_const(report.notes))
        m_err += note + QLatin1Char('\n');
    if (status != LedgerStatus::Ok)
        return failStatus(int(status), message);
    const int kinds[] = {1, 2, 4, 8};
    for (int kind : kinds) {
        const HistoryImport::KindCount &count = report.counts[HistoryImport::kindIndex(kind)];
        if (count.read == 0)
            continue;
        m_out += QStringLiteral("%1: %2 read, %3 added, %4 imported before, %5 not valid\n")
                     .arg(Ledger::kindName(kind))
                     .arg(count.read)
                     .arg(count.added)
                     .arg(count.importedBefore)
                     .arg(count.invalid);
    }
    if (report.undated)
        m_out += QStringLiteral("%1 IMEI records without a readable time were stamped with the import's.\n")
                     .arg(report.undated);
    for (const HistoryImport::Shared &shared : std::as_const(report.shared)) {
        if (shared.otherStation.isEmpty())
            m_out += QStringLiteral("Shared: %1 %2 appears twice in the history of %3.\n")
                         .arg(Ledger::kindName(shared.kind), shared.value, station);
        else
            m_out += QStringLiteral("Shared: %1 %2 is held by station %3 since %4, and by %5.\n")
                         .arg(Ledger::kindName(shared.kind), shared.value, shared.otherStation,
                              shared.otherAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")), station);
    }
    if (!report.shared.isEmpty()) {
        m_out += QStringLiteral("%1 identities are carried by two handsets.\n").arg(report.shared.size());
        return SharedFound;
    }
    return Success;
}

int LedgerCommand::story(QStringList args)
{
    QString kindName;
    if (!takeOption(args, QStringLiteral("--kind"), &kindName) || args.size() != 1)
        return fail(QStringLiteral("Usage: ledger story [--kind imei|mbsn|psn|bt] VALUE"));
    const int kind = kindName.isEmpty() ? 0 : kindOf(kindName);
    if (kind < 0)
        return fail(QStringLiteral("Unknown kind \"%1\": imei, mbsn, psn or bt.").arg(kindName));
    LedgerConnection connection(m_connection, QStringLiteral("ledger"));
    LedgerReports reports(connection);
    QStringList lines;
    QString message;
    const LedgerStatus status = reports.story(kind, args.first(), &lines, &message);
    if (status != LedgerStatus::Ok)
        return failStatus(int(status), message);
    if (lines.isEmpty())
        return fail(QStringLiteral("The ledger does not know %1.").arg(args.first()));
    m_out += lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    return Success;
}

int LedgerCommand::exportCycles(QStringList args)
{
    QString fromText, toText, output;
    if (!takeOption(args, QStringLiteral("--from"), &fromText) || !takeOption(args, QStringLiteral("--to"), &toText) ||
        !takeOption(args, QStringLiteral("--output"), &output) || !args.isEmpty() || fromText.isEmpty() ||
        toText.isEmpty())
        return fail(QStringLiteral("Usage: ledger export --from WHEN --to WHEN [--output FILE]"));
    const QDateTime from = parseWhen(fromText, false);
    const QDateTime to = parseWhen(toText, true);
    if (!from.isValid() || !to.isValid())
        return fail(QStringLiteral("Not a time: \"%1\" (yyyy-MM-dd or yyyy-MM-dd hh:mm:ss).")
                        .arg(from.isValid() ? toText : fromText));
    if (to <= from)
        return fail(QStringLiteral("The period ends before it starts."));
    LedgerConnection connection(m_connection, QStringLiteral("ledger"));
    LedgerReports reports(connection);
    QString message;
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const qint64 cycles = reports.exportCycles(from, to, &buffer, &message);
    if (cycles < 0)
        return fail(message, connection.isOpen() ? Failure : Unreachable);
    if (output.isEmpty()) {
        m_out += QString::fromUtf8(buffer.data());
        return Success;
    }
    // The whole file or none: the manufacturing system may pick it up at any moment.
    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly) || file.write(buffer.data()) != buffer.data().size() || !file.commit())
        return fail(QStringLiteral("%1 could not be written: %2").arg(output, file.errorString()));
    m_err += QStringLiteral("%1 cycles written to %2.\n").arg(cycles).arg(output);
    return Success;
}

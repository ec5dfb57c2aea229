// The ledger's command line: one method a subcommand, each parsing its own options and printing its report. Past
// 600 lines because the subcommands share the option helpers and the exit codes kept here; the work itself is in
// the ledger library.
#include "LedgerCommand.h"

#include "CommandOptions.h"

#include "ledger/HistoryImport.h"
#include "ledger/Ledger.h"
#include "ledger/LedgerPools.h"
#include "ledger/LedgerReports.h"
#include "ledger/LedgerSchema.h"
#include "ledger/LedgerTokens.h"
#include "ledger/LineConfig.h"
#include "ledger/LineFigures.h"
#include "ledger/PoolWorkbook.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextStream>

QString LedgerCommand::usage()
{
    return QStringLiteral(
        "Usage: ledger [--config FILE | --connection STRING] COMMAND ...\n"
        "The connection is a libpq connection string without a password (libpq reads that from ~/.pgpass);\n"
        "by default the Connection= of cfg/line.ini, whose timeouts apply too. Commands that change the ledger\n"
        "need its owner's role. Role and station names are letters, digits, '_' and '-', at most 63.\n"
        "\n"
        "  create-schema [--station-role NAME]  create the ledger, or bring it up to date; the stations' group\n"
        "                                       role (default ledger_station) is created when missing\n"
        "  add-station ROLE --station NAME      a login role for one station, member of the stations' role and\n"
        "                                       bound to the station's name (again: bound anew)\n"
        "  check                                whether the schema is at the version this program needs, which\n"
        "                                       server answered (primary or standby) and how far its standby lags\n"
        "  add-counter --imei-tac TAC [--first BODY] [--last BODY] [--block N]\n"
        "  add-counter --bt-range FIRST-LAST [--first ADDRESS] [--last ADDRESS] [--block N]\n"
        "  add-counter --name NAME --first N --last N [--block N]\n"
        "                                       a shared counter the stations take blocks of (default 100\n"
        "                                       values): a type allocation code's default IMEI bodies (14 digits,\n"
        "                                       serial 999999 is the end mark), a Bluetooth range (12 hex\n"
        "                                       digits, its LAST not handed out), another counter; stations\n"
        "                                       take blocks only of counters added\n"
        "  counters                             the shared counters, their blocks and the values left\n"
        "  add-pool --name NAME --kind imei|mbsn|psn [--length N] WORKBOOK\n"
        "                                       a pool the stations read from this workbook, for the line view\n"
        "                                       to count down: the values a station takes from it (an IMEI set\n"
        "                                       counts once), checked as a station checks them (MBSN and PSN of\n"
        "                                       --length characters, default 17 and 20); refused rows are\n"
        "                                       listed. A pool never changes\n"
        "  import --station NAME DIR            a station's history files (DIR holds cfg/, or is it)\n"
        "  story [--kind imei|mbsn|psn|bt] VALUE  everything the ledger knows of an identity\n"
        "  export --from WHEN --to WHEN [--output FILE]\n"
        "                                       the cycles claimed in the period as CSV (UTC times); WHEN is\n"
        "                                       yyyy-MM-dd or yyyy-MM-dd hh:mm[:ss], local time; a --to counts\n"
        "                                       whole (its day, minute or second)\n"
        "  add-reader ROLE                      a login role for the line view, member of the read-only role\n"
        "                                       ledger_reader: it reads, and can never claim or mark\n"
        "  token add NAME | revoke NAME | list  the bearer tokens of the line view's API clients; add prints\n"
        "                                       the new token once (the ledger keeps its SHA-256 only)\n"
        "  serve [--listen ADDRESS:PORT] [--tls-cert FILE --tls-key FILE] [--shifts HH:MM,...]\n"
        "                                       the line view (a page for the supervisor's screen) and its\n"
        "                                       read-only JSON API; logs in as a reader (add-reader). Default\n"
        "                                       127.0.0.1:8480, shifts starting 06:00,14:00,22:00; with a\n"
        "                                       certificate and its key (PEM) it serves https only\n"
        "\n"
        "Exit codes: 0 done, 1 failed, 2 wrong command line, 3 the import found identities that two handsets\n"
        "carry, 4 the ledger did not answer or another session held it up (try again later).\n");
}

QDateTime LedgerCommand::parseWhen(const QString &text, bool end)
{
    static const QRegularExpression form(
        QStringLiteral("^(\\d{4})-(\\d\\d)-(\\d\\d)(?:[ T](\\d\\d):(\\d\\d)(?::(\\d\\d))?)?$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return {};
    const QDate date(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
    if (!date.isValid())
        return {};
    if (match.captured(4).isEmpty())
        return (end ? date.addDays(1) : date).startOfDay();
    const bool seconds = !match.captured(6).isEmpty();
    const QTime time(match.captured(4).toInt(), match.captured(5).toInt(), match.captured(6).toInt());
    if (!time.isValid())
        return {};
    const QDateTime when(date, time);
    return end ? when.addSecs(seconds ? 1 : 60) : when;
}

LedgerTimeouts LedgerCommand::longStatements() const
{
    // An import batch or a long period's export may take minutes on a large ledger.
    LedgerTimeouts timeouts = m_timeouts;
    timeouts.statement = qMax(timeouts.statement, 600);
    return timeouts;
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
        return args.isEmpty() ? Usage : Success;
    }
    QString config = LineConfig::defaultPath();
    bool hasConfig = false, hasConnection = false;
    if (!takeOption(args, QStringLiteral("--config"), &config, &hasConfig) ||
        !takeOption(args, QStringLiteral("--connection"), &m_connection, &hasConnection) || args.isEmpty())
        return fail(QStringLiteral("--config and --connection need a value, and a command follows.\n") + usage(),
                    Usage);
    QString message;
    m_timeouts = LedgerTimeouts();
    if (hasConnection) {
        if (!LineConfig::checkConnection(m_connection, QStringLiteral("--connection"), &message))
            return fail(message, Usage);
    } else {
        // The default file may be missing (then the connection is missing); a file named must be there.
        if (hasConfig && !QFileInfo(config).isFile())
            return fail(QStringLiteral("Cannot read %1: there is no such file.").arg(config), Usage);
        LineConfig line;
        if (!LineConfig::load(config, &line, &message))
            return fail(message);
        if (!line.configured)
            return fail(QStringLiteral("No ledger connection: give --connection, or Connection= in %1.").arg(config),
                        Usage);
        m_connection = line.connection;
        m_timeouts = line.timeouts;
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
    if (command == QLatin1String("add-reader"))
        return addReader(args);
    if (command == QLatin1String("token"))
        return token(args);
    if (command == QLatin1String("add-counter"))
        return addCounter(args);
    if (command == QLatin1String("counters"))
        return counters(args);
    if (command == QLatin1String("add-pool"))
        return addPool(args);
    if (command == QLatin1String("serve"))
        return serve(args);
    return fail(QStringLiteral("Unknown command \"%1\".\n").arg(command) + usage(), Usage);
}

int LedgerCommand::createSchema(QStringList args)
{
    QString role = LedgerSchema::defaultStationRole();
    if (!takeOption(args, QStringLiteral("--station-role"), &role) || !args.isEmpty())
        return fail(QStringLiteral("Usage: ledger create-schema [--station-role NAME]"), Usage);
    if (!LedgerSchema::isValidName(role))
        return fail(QStringLiteral("Not a role name: \"%1\" (letters, digits, '_' or '-', at most 63).").arg(role),
                    Usage);
    // An upgrade builds indexes over every cycle: minutes on a ledger of millions, within one statement.
    LedgerConnection connection(m_connection, QStringLiteral("ledger"), longStatements());
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
    if (before > 0 && before < 2)
        m_out += unboundRoles(connection);
    return Success;
}

QString LedgerCommand::unboundRoles(LedgerConnection &connection)
{
    // Roles that claimed before stations were bound to names, and could not keep the one name they used.
    const LedgerRows rows = connection.exec(
        "SELECT DISTINCT c.station_role FROM ledger.cycles c WHERE NOT c.imported AND NOT EXISTS "
        "(SELECT 1 FROM ledger.stations s WHERE s.role = c.station_role) AND NOT coalesce((SELECT r.rolsuper "
        "FROM pg_catalog.pg_roles r WHERE r.rolname = c.station_role), true) ORDER BY 1");
    QStringList roles;
    for (int row = 0; row < rows.rowCount(); ++row)
        roles.append(rows.text(row, 0));
    if (roles.isEmpty())
        return {};
    return QStringLiteral("These roles claimed under several names and are bound to none, so they cannot claim until "
                          "bound with \"ledger add-station ROLE --station NAME\": %1\n")
        .arg(roles.join(QLatin1String(", ")));
}

int LedgerCommand::addStation(QStringList args)
{
    QString station;
    if (!takeOption(args, QStringLiteral("--station"), &station) || station.isEmpty() || args.size() != 1)
        return fail(QStringLiteral("Usage: ledger add-station ROLE --station NAME"), Usage);
    if (!LedgerSchema::isValidName(args.first()) || !LedgerSchema::isValidName(station))
        return fail(QStringLiteral("Not a name: \"%1\" (letters, digits, '_' or '-', at most 63).")
                        .arg(LedgerSchema::isValidName(station) ? args.first() : station),
                    Usage);
    LedgerConnection connection(m_connection, QStringLiteral("ledger"), m_timeouts);
    QString message;
    const LedgerStatus status = LedgerSchema::addStation(connection, args.first(), station, &message);
    if (status != LedgerStatus::Ok)
        return failStatus(int(status), message);
    m_out += QStringLiteral("Role %1 is station %2 and may now claim identities in the ledger; give it a password "
                            "with ALTER ROLE, and the station a ~/.pgpass entry and Station=%2 in cfg/line.ini.\n")
                 .arg(args.first(), station);
    return Success;
}

int LedgerCommand::check(const QStringList &args)
{
    if (!args.isEmpty())
        return fail(QStringLiteral("Usage: ledger check"), Usage);
    LedgerConnection connection(m_connection, QStringLiteral("ledger"), m_timeouts);
    QString message;
    const LedgerStatus status = LedgerSchema::check(connection, &message);
    if (status != LedgerStatus::Ok)
        return failStatus(int(status), message);
    m_out += QStringLiteral("The ledger is at version %1.\n").arg(LedgerSchema::currentVersion);
    m_out += replication(connection);
    return Success;
}

int LedgerCommand::addCounter(QStringList args)
{
    const QString usageText =
        QStringLiteral("Usage: ledger add-counter --imei-tac TAC [--first BODY] [--last BODY] [--block N]\n"
                       "       ledger add-counter --bt-range FIRST-LAST [--first ADDRESS] [--last ADDRESS] "
                       "[--block N]\n"
                       "       ledger add-counter --name NAME --first N --last N [--block N]");
    QString tac, btRange, name, firstText, lastText, blockText = QStringLiteral("100");
    bool hasTac = false, hasBt = false, hasName = false;
    if (!takeOption(args, QStringLiteral("--imei-tac"), &tac, &hasTac) ||
        !takeOption(args, QStringLiteral("--bt-range"), &btRange, &hasBt) ||
        !takeOption(args, QStringLiteral("--name"), &name, &hasName) ||
        !takeOption(args, QStringLiteral("--first"), &firstText) ||
        !takeOption(args, QStringLiteral("--last"), &lastText) ||
        !takeOption(args, QStringLiteral("--block"), &blockText) || !args.isEmpty() ||
        int(hasTac) + int(hasBt) + int(hasName) != 1)
        return fail(usageText, Usage);
    // The name is spelled as the stations spell it, and the span is what it stands for there (the ledger keeps
    // the same rule): an IMEI code's last serial is its end mark, a Bluetooth range's last address is not handed
    // out.
    static const QRegularExpression tacForm(QStringLiteral("^[0-9]{8}$"));
    static const QRegularExpression btForm(QStringLiteral("^([0-9A-Fa-f]{12})-([0-9A-Fa-f]{12})$"));
    static const QRegularExpression numberForm(QStringLiteral("^[0-9]{1,18}$"));
    static const QRegularExpression bodyForm(QStringLiteral("^[0-9]{14}$"));
    static const QRegularExpression addressForm(QStringLiteral("^[0-9A-Fa-f]{12}$"));
    qint64 low = 0, high = -1;
    QString counter;
    const QRegularExpression *valueForm = &numberForm;
    QString valueText = QStringLiteral("whole numbers");
    int base = 10;
    if (hasTac) {
        if (!tacForm.match(tac).hasMatch())
            return fail(QStringLiteral("Not a type allocation code: \"%1\" (8 digits).").arg(tac), Usage);
        counter = QStringLiteral("DefaultIMEI:") + tac;
        low = tac.toLongLong() * 1000000;
        high = low + 999998;
        valueForm = &bodyForm;
        valueText = QStringLiteral("IMEI bodies of 14 digits");
    } else if (hasBt) {
        const QRegularExpressionMatch match = btForm.match(btRange);
        low = match.captured(1).toLongLong(nullptr, 16);
        high = match.captured(2).toLongLong(nullptr, 16) - 1;
        if (!match.hasMatch() || high < low)
            return fail(QStringLiteral("Not a Bluetooth range: \"%1\" (FIRST-LAST, 12 hex digits each, FIRST below "
                                       "LAST).")
                            .arg(btRange),
                        Usage);
        counter = QStringLiteral("BT:") + btRange.toLower();
        valueForm = &addressForm;
        valueText = QStringLiteral("addresses of 12 hex digits");
        base = 16;
    } else {
        if (name.isEmpty() || name.startsWith(QLatin1String("DefaultIMEI:")) || name.startsWith(QLatin1String("BT:")) ||
            firstText.isEmpty() || lastText.isEmpty())
            return fail(QStringLiteral("A counter by --name is neither DefaultIMEI: nor BT: (those come with "
                                       "--imei-tac and --bt-range), and needs --first and --last."),
                        Usage);
        counter = name;
        low = 0;
        high = (qint64(1) << 62) - 1;
    }
    auto value = [&](const QString &text, qint64 *out) {
        if (text.isEmpty())
            return true;
        bool ok = false;
        *out = text.toLongLong(&ok, base);
        return ok && valueForm->match(text).hasMatch();
    };
    qint64 first = low, last = high;
    if (!value(firstText, &first) || !value(lastText, &last))
        return fail(QStringLiteral("--first and --last of %1 are %2.").arg(counter, valueText), Usage);
    if (first < low || last > high || first > last)
        return fail(
            QStringLiteral("%1 runs from %2 to %3 at most: --first and --last lie there, the first not after "
                           "the last.")
                .arg(counter,
                     hasBt ? QString::number(low, 16).rightJustified(12, QLatin1Char('0')) : QString::number(low),
                     hasBt ? QString::number(high, 16).rightJustified(12, QLatin1Char('0')) : QString::number(high)),
            Usage);
    bool blockOk = false;
    const qint64 block = blockText.toLongLong(&blockOk);
    if (!blockOk || block < 1 || block > 1000000)
        return fail(QStringLiteral("Not a block size: \"%1\" (1 to 1000000 values).").arg(blockText), Usage);
    LedgerConnection connection(m_connection, QStringLiteral("ledger"), m_timeouts);
    QString message;
    bool added = false;
    const LedgerStatus status = LedgerSchema::addCounter(connection, counter, first, last, block, &added, &message);
    if (status != LedgerStatus::Ok)
        return failStatus(int(status), message);
    m_out +=
        added ? QStringLiteral("Shared counter %1 added: stations take it in blocks of %2.\n").arg(counter).arg(block)
              : QStringLiteral("Shared counter %1 is there already, with this range.\n").arg(counter);
    return Success;
}

int LedgerCommand::counters(const QStringList &args)
{
    if (!args.isEmpty())
        return fail(QStringLiteral("Usage: ledger counters"), Usage);
    LedgerConnection connection(m_connection, QStringLiteral("ledger"), m_timeouts);
    QString message;
    const LedgerStatus status = LedgerSchema::check(connection, &message);
    if (status != LedgerStatus::Ok)
        return failStatus(int(status), message);
    // Left: the values no block holds yet.
    const LedgerRows rows = connection.exec(
        "SELECT k.name, k.next_value, k.last_value, k.block_size, "
        "greatest(0, k.last_value - greatest(coalesce(t.taken_to, k.next_value - 1), k.next_value - 1)), "
        "coalesce(t.blocks, 0) FROM ledger.counters k "
        "LEFT JOIN LATERAL (SELECT max(b.last_value) AS taken_to, count(*) AS blocks FROM ledger.counter_blocks b "
        "                   WHERE b.counter = k.name) t ON true ORDER BY k.name");
    if (!rows.ok())
        return fail(rows.message(), connection.isOpen() ? Failure : Unreachable);
    for (int row = 0; row < rows.rowCount(); ++row) {
        const QString name = rows.text(row, 0);
        auto shown = [&](qint64 value) {
            return name.startsWith(QLatin1String("BT:"))
                       ? QString::number(value, 16).rightJustified(12, QLatin1Char('0'))
                       : QString::number(value);
        };
        m_out += QStringLiteral("%1\t%2 to %3\tblocks of %4\t%5 blocks taken\t%6 left\n")
                     .arg(name, shown(rows.number(row, 1)), shown(rows.number(row, 2)))
                     .arg(rows.number(row, 3))
                     .arg(rows.number(row, 5))
                     .arg(rows.number(row, 4));
    }
    if (rows.rowCount() == 0)
        m_out += QStringLiteral("The ledger has no shared counter: add them with \"ledger add-counter\".\n");
    return Success;
}

int LedgerCommand::addPool(QStringList args)
{
    QString name, kindName, lengthText;
    if (!takeOption(args, QStringLiteral("--name"), &name) || !takeOption(args, QStringLiteral("--kind"), &kindName) ||
        !takeOption(args, QStringLiteral("--length"), &lengthText) || args.size() != 1 || name.isEmpty() ||
        kindName.isEmpty())
        return fail(QStringLiteral("Usage: ledger add-pool --name NAME --kind imei|mbsn|psn [--length N] WORKBOOK"),
                    Usage);
    if (!LedgerSchema::isValidName(name))
        return fail(QStringLiteral("Not a pool's name: \"%1\" (letters, digits, '_' or '-', at most 63).").arg(name),
                    Usage);
    const int kind = Ledger::kindOf(kindName);
    if (kind != 1 && kind != 2 && kind != 4)
        return fail(QStringLiteral("A pool holds imei, mbsn or psn values, not \"%1\".").arg(kindName), Usage);
    // A station's default length (Mbsnlen, Psnlen) unless the line's stations say otherwise.
    int length = kind == 2 ? 17 : 20;
    bool lengthOk = true;
    if (!lengthText.isEmpty())
        length = lengthText.toInt(&lengthOk);
    if (!lengthOk || length < 1 || length > 64 || (kind == 1 && !lengthText.isEmpty()))
        return fail(QStringLiteral("--length is an MBSN's or PSN's length, 1 to 64: \"%1\".").arg(lengthText), Usage);
    PoolWorkbook workbook;
    const bool read = workbook.read(kind, args.first(), length);
    for (const QString &line : workbook.adjustments())
        m_err += line + QLatin1Char('\n');
    for (const QString &refusal : workbook.refusals())
        m_err += QStringLiteral("Refused: %1\n").arg(refusal);
    if (!read)
        return fail(QStringLiteral("%1: %2").arg(args.first(), workbook.failure()));
    LedgerConnection connection(m_connection, QStringLiteral("ledger"), longStatements());
    LedgerPools pools(connection);
    QString message;
    bool added = false;
    const LedgerStatus status = pools.add(name, kind, workbook.values(), &added, &message);
    if (status != LedgerStatus::Ok)
        return failStatus(int(status), message);
    const QString counted =
        kind == 1 ? QStringLiteral("IMEI sets") : Ledger::kindName(kind) + QStringLiteral(" values");
    m_out += added ? QStringLiteral("Pool %1 added: %2 %3, %4 rows refused.\n")
                         .arg(name)
                         .arg(workbook.values().size())
                         .arg(counted)
                         .arg(workbook.refusals().size())
                   : QStringLiteral("Pool %1 is there already, with these %2 %3.\n")
                         .arg(name)
                         .arg(workbook.values().size())
                         .arg(counted);
    return Success;
}

QString LedgerCommand::replication(LedgerConnection &connection)
{
    // Of a connection string naming a primary and its standby, which one answered, and how far the other one is.
    LedgerRows rows = connection.exec("SELECT pg_is_in_recovery(), current_setting('synchronous_standby_names')");
    if (!rows.ok())
        return QStringLiteral("Server %1 port %2: its role is unknown (%3).\n")
            .arg(connection.host(), connection.port(), rows.message());
    const bool standby = rows.text(0, 0) == QLatin1String("t");
    const QString synchronous = rows.text(0, 1);
    QString text = QStringLiteral("Server %1 port %2: %3.\n")
                       .arg(connection.host(), connection.port(),
                            standby ? QStringLiteral("standby, in recovery (reads only)")
                                    : QStringLiteral("primary (takes writes)"));
    // A lag the server shows as null is none: the standby has caught up and nothing new came.
    const auto seconds = [](const LedgerRows &r, int row, int column) {
        return r.isNull(row, column) ? QStringLiteral("0") : QString::number(r.text(row, column).toDouble(), 'f', 3);
    };
    if (standby) {
        rows = connection.exec("SELECT extract(epoch FROM now() - pg_last_xact_replay_timestamp()), "
                               "(SELECT status FROM pg_stat_wal_receiver)");
        if (!rows.ok())
            return text + QStringLiteral("Replay: unknown (%1).\n").arg(rows.message());
        const QString receiver = rows.isNull(0, 1) ? QStringLiteral("not receiving") : rows.text(0, 1);
        if (rows.isNull(0, 0))
            return text +
                   QStringLiteral("Replay: no transaction replayed since this standby started; WAL receiver %1.\n")
                       .arg(receiver);
        return text + QStringLiteral("Replay: the last transaction replayed committed %1 s ago; WAL receiver %2.\n")
                          .arg(seconds(rows, 0, 0), receiver);
    }
    text += synchronous.isEmpty()
                ? QStringLiteral("Replication is asynchronous (synchronous_standby_names is empty): a claim the "
                                 "primary acknowledged may be lost when it fails.\n")
                : QStringLiteral("A commit waits for a standby (synchronous_standby_names = '%1').\n").arg(synchronous);
    rows = connection.exec("SELECT application_name, state, sync_state, extract(epoch FROM write_lag), "
                           "extract(epoch FROM replay_lag), pg_wal_lsn_diff(pg_current_wal_lsn(), replay_lsn)::bigint "
                           "FROM pg_stat_replication ORDER BY application_name, pid");
    if (!rows.ok())
        return text + QStringLiteral("Standbys: unknown (%1).\n").arg(rows.message());
    if (rows.rowCount() == 0)
        return text + (synchronous.isEmpty() ? QStringLiteral("No standby: no server streams from this one.\n")
                                             : QStringLiteral("No standby: no server streams from this one, so every "
                                                              "commit waits (and stations refuse) until one does.\n"));
    for (int row = 0; row < rows.rowCount(); ++row) {
        // Roles without pg_read_all_stats see that a standby is there, not how it stands.
        if (rows.isNull(row, 1)) {
            text += QStringLiteral("Standby %1: its state needs pg_read_all_stats.\n").arg(rows.text(row, 0));
            continue;
        }
        text += QStringLiteral("Standby %1: %2, %3, write lag %4 s, replay lag %5 s, %6 bytes not replayed.\n")
                    .arg(rows.text(row, 0), rows.text(row, 1), rows.text(row, 2), seconds(rows, row, 3),
                         seconds(rows, row, 4), rows.isNull(row, 5) ? QStringLiteral("?") : rows.text(row, 5));
    }
    return text;
}

int LedgerCommand::import(QStringList args)
{
    QString station;
    if (!takeOption(args, QStringLiteral("--station"), &station) || station.isEmpty() || args.size() != 1)
        return fail(QStringLiteral("Usage: ledger import --station NAME DIR"), Usage);
    if (!LedgerSchema::isValidName(station))
        return fail(
            QStringLiteral("Not a station name: \"%1\" (letters, digits, '_' or '-', at most 63).").arg(station),
            Usage);
    LedgerConnection connection(m_connection, QStringLiteral("ledger"), longStatements());
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
        return fail(QStringLiteral("Usage: ledger story [--kind imei|mbsn|psn|bt] VALUE"), Usage);
    const int kind = kindName.isEmpty() ? 0 : Ledger::kindOf(kindName);
    if (kind < 0)
        return fail(QStringLiteral("Unknown kind \"%1\": imei, mbsn, psn or bt.").arg(kindName), Usage);
    LedgerConnection connection(m_connection, QStringLiteral("ledger"), m_timeouts);
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
        return fail(QStringLiteral("Usage: ledger export --from WHEN --to WHEN [--output FILE]"), Usage);
    const QDateTime from = parseWhen(fromText, false);
    const QDateTime to = parseWhen(toText, true);
    if (!from.isValid() || !to.isValid())
        return fail(QStringLiteral("Not a time: \"%1\" (yyyy-MM-dd, or yyyy-MM-dd hh:mm or yyyy-MM-dd hh:mm:ss).")
                        .arg(from.isValid() ? toText : fromText),
                    Usage);
    if (to <= from)
        return fail(QStringLiteral("The period ends before it starts."), Usage);
    LedgerConnection connection(m_connection, QStringLiteral("ledger"), longStatements());
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

int LedgerCommand::addReader(const QStringList &args)
{
    if (args.size() != 1)
        return fail(QStringLiteral("Usage: ledger add-reader ROLE"), Usage);
    LedgerConnection connection(m_connection, QStringLiteral("ledger"), m_timeouts);
    QString message;
    const LedgerStatus status = LedgerSchema::addReader(connection, args.first(), &message);
    if (status != LedgerStatus::Ok)
        return failStatus(int(status), message);
    m_out += QStringLiteral("Role %1 may now read the ledger for the line view (ledger serve), and nothing more; give "
                            "it a password with ALTER ROLE and a ~/.pgpass entry where the view runs.\n")
                 .arg(args.first());
    return Success;
}

int LedgerCommand::token(const QStringList &args)
{
    const QString action = args.value(0);
    const bool named = action == QLatin1String("add") || action == QLatin1String("revoke");
    if (!(named && args.size() == 2) && !(action == QLatin1String("list") && args.size() == 1))
        return fail(QStringLiteral("Usage: ledger token add NAME | ledger token revoke NAME | ledger token list"),
                    Usage);
    if (named && !LedgerSchema::isValidName(args.at(1)))
        return fail(
            QStringLiteral("Not a client's name: \"%1\" (letters, digits, '_' or '-', at most 63).").arg(args.at(1)),
            Usage);
    LedgerConnection connection(m_connection, QStringLiteral("ledger"), m_timeouts);
    QString message;
    LedgerStatus status = LedgerSchema::check(connection, &message);
    if (status != LedgerStatus::Ok)
        return failStatus(int(status), message);
    LedgerTokens tokens(connection);
    if (action == QLatin1String("add")) {
        QString made;
        status = tokens.add(args.at(1), &made, &message);
        if (status != LedgerStatus::Ok)
            return failStatus(int(status), message);
        m_out += made + QLatin1Char('\n');
        m_err +=
            QStringLiteral("The token of %1 is shown this once: keep it where the client reads it.\n").arg(args.at(1));
        return Success;
    }
    if (action == QLatin1String("revoke")) {
        status = tokens.revoke(args.at(1), &message);
        if (status != LedgerStatus::Ok)
            return failStatus(int(status), message);
        m_out += QStringLiteral("The token of %1 no longer opens the API.\n").arg(args.at(1));
        return Success;
    }
    QVector<LedgerTokens::Client> clients;
    status = tokens.list(&clients, &message);
    if (status != LedgerStatus::Ok)
        return failStatus(int(status), message);
    const QString format = QStringLiteral("yyyy-MM-dd hh:mm:ss");
    for (const LedgerTokens::Client &client : std::as_const(clients))
        m_out += QStringLiteral("%1\tmade %2\t%3\n")
                     .arg(client.name, client.createdAt.toLocalTime().toString(format),
                          client.revokedAt.isValid()
                              ? QStringLiteral("revoked %1").arg(client.revokedAt.toLocalTime().toString(format))
                              : QStringLiteral("working"));
    return Success;
}

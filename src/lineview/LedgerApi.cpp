#include "lineview/LedgerApi.h"

#include "ledger/Ledger.h"
#include "ledger/LedgerReports.h"
#include "ledger/LedgerSchema.h"
#include "ledger/LedgerTokens.h"
#include "ledger/LineFigures.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTextStream>

namespace {

LedgerApi::Reply json(int status, const QJsonObject &body)
{
    return {status, QJsonDocument(body).toJson(QJsonDocument::Compact), false};
}

LedgerApi::Reply error(int status, const QString &message)
{
    return json(status, {{QStringLiteral("error"), message}});
}

} // namespace

LedgerApi::LedgerApi(const QString &connInfo, const LedgerTimeouts &timeouts, const QVector<QTime> &shifts)
    : m_connection(connInfo, QStringLiteral("ledger serve"), timeouts), m_shifts(shifts)
{
}

QDateTime LedgerApi::parseTime(const QString &text, bool end)
{
    static const QRegularExpression form(QStringLiteral(
        "^(\\d{4})-(\\d\\d)-(\\d\\d)(?:[ T](\\d\\d):(\\d\\d)(?::(\\d\\d)(\\.\\d{1,3})?)?(Z|[+-]\\d\\d:\\d\\d)?)?$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return {};
    const QDate date(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
    if (!date.isValid())
        return {};
    if (match.captured(4).isEmpty())
        return (end ? date.addDays(1) : date).startOfDay();
    const QString fraction = match.captured(7);
    const int ms = fraction.isEmpty() ? 0 : fraction.mid(1).leftJustified(3, QLatin1Char('0')).toInt();
    const QTime time(match.captured(4).toInt(), match.captured(5).toInt(), match.captured(6).toInt(), ms);
    if (!time.isValid())
        return {};
    const QString zone = match.captured(8);
    if (!zone.isEmpty()) {
        // An instant: the time as written, in its offset.
        int offset = 0;
        if (zone != QLatin1String("Z")) {
            const int hours = zone.mid(1, 2).toInt(), minutes = zone.mid(4, 2).toInt();
            if (hours > 14 || minutes > 59)
                return {};
            offset = (hours * 60 + minutes) * 60 * (zone.at(0) == QLatin1Char('-') ? -1 : 1);
        }
        return QDateTime(date, time, Qt::OffsetFromUTC, offset);
    }
    const QDateTime when(date, time);
    if (!end || !fraction.isEmpty())
        return when;
    return when.addSecs(match.captured(6).isEmpty() ? 60 : 1);
}

LedgerApi::Reply LedgerApi::get(const QString &path, const QUrlQuery &query, const QByteArray &authorization)
{
    static const QStringList paths{QStringLiteral("/api/line"), QStringLiteral("/api/story"),
                                   QStringLiteral("/api/cycles")};
    if (!paths.contains(path))
        return error(404, QStringLiteral("No such resource: %1 (the API has /api/line, /api/story and /api/cycles).")
                              .arg(path.left(100)));
    Reply reply;
    if (!begin(authorization, &reply))
        return reply;
    if (path == paths.at(0))
        reply = line();
    else if (path == paths.at(1))
        reply = story(query);
    else
        reply = cycles(query);
    // Read-only: the end of the transaction changes nothing, and after a failure it only ends it.
    endTransaction(reply.status == 200);
    return reply;
}

bool LedgerApi::begin(const QByteArray &authorization, Reply *refusal)
{
    static const QRegularExpression bearer(QStringLiteral("^Bearer ([0-9a-f]{64})$"));
    const QRegularExpressionMatch match = bearer.match(QString::fromLatin1(authorization.trimmed()));
    if (!match.hasMatch()) {
        *refusal = error(401, authorization.isEmpty()
                                  ? QStringLiteral("This API needs \"Authorization: Bearer TOKEN\", a token of "
                                                   "\"ledger token add NAME\".")
                                  : QStringLiteral("The Authorization header holds no token of this ledger "
                                                   "(\"Bearer\" and 64 hex digits)."));
        refusal->challenge = true;
        return false;
    }
    QString message;
    const QByteArray role = LedgerConnection::identifier(LedgerSchema::readerRole());
    if (!m_connection.command("BEGIN READ ONLY", &message)) {
        *refusal = failure(m_connection.isOpen() ? LedgerStatus::Failed : LedgerStatus::Unreachable, message);
        return false;
    }
    QString client;
    LedgerTokens tokens(m_connection);
    LedgerStatus status = checkLogin(&message) ? LedgerStatus::Ok : LedgerStatus::Refused;
    if (status == LedgerStatus::Ok) {
        const LedgerRows rows = m_connection.exec(QByteArray("SET LOCAL ROLE " + role).constData());
        status = rows.ok() ? tokens.clientOf(match.captured(1), &client, &message) : rows.status();
        if (!rows.ok())
            message = rows.message();
    }
    if (status != LedgerStatus::Ok) {
        endTransaction(false);
        *refusal = failure(status, message);
        return false;
    }
    if (client.isEmpty()) {
        endTransaction(false);
        *refusal = error(401, QStringLiteral("The token is not one of this ledger's, or it was revoked."));
        refusal->challenge = true;
        return false;
    }
    return true;
}

void LedgerApi::endTransaction(bool commit)
{
    // A connection lost on the way took its transaction with it: reconnecting only to end it would make a stalled
    // ledger's client wait once more.
    if (m_connection.isOpen())
        m_connection.command(commit ? "COMMIT" : "ROLLBACK", nullptr);
}

LedgerStatus LedgerApi::checkReady(QString *message)
{
    const LedgerStatus status = LedgerSchema::check(m_connection, message);
    if (status != LedgerStatus::Ok)
        return status;
    if (checkLogin(message))
        return LedgerStatus::Ok;
    return m_connection.isOpen() ? LedgerStatus::Refused : LedgerStatus::Unreachable;
}

bool LedgerApi::checkLogin(QString *why)
{
    if (m_connection.backendPid() == m_checkedBackend && m_checkedBackend != 0)
        return true;
    // A login that could claim, mark or take a block is not the line view's: it must read through a role of
    // its own, whatever this transaction's role.
    const LedgerRows rows = m_connection.exec(
        "SELECT pg_has_role(session_user, $1, 'MEMBER'), "
        "has_any_column_privilege(session_user, 'ledger.cycles', 'INSERT') "
        "OR has_any_column_privilege(session_user, 'ledger.cycles', 'UPDATE') "
        "OR has_any_column_privilege(session_user, 'ledger.identities', 'INSERT') "
        "OR has_function_privilege(session_user, 'ledger.take_block(text, bigint, bigint, bigint)', 'EXECUTE') "
        "OR has_table_privilege(session_user, 'ledger.api_tokens', 'SELECT'), session_user",
        {LedgerSchema::readerRole().toUtf8()});
    if (!rows.ok()) {
        *why = rows.message();
        return false;
    }
    if (rows.text(0, 0) != QLatin1String("t") || rows.text(0, 1) != QLatin1String("f")) {
        *why = QStringLiteral("The line view logs in as %1, which %2: give it a reader's login (ledger add-reader).")
                   .arg(rows.text(0, 2), rows.text(0, 0) != QLatin1String("t")
                                             ? QStringLiteral("is not a member of %1").arg(LedgerSchema::readerRole())
                                             : QStringLiteral("may change the ledger"));
        return false;
    }
    m_checkedBackend = m_connection.backendPid();
    return true;
}

LedgerApi::Reply LedgerApi::failure(LedgerStatus status, const QString &message)
{
    // The server's log keeps the details; the client learns what it can do about it.
    QTextStream(stderr) << "ledger serve: " << message << Qt::endl;
    if (status == LedgerStatus::Unreachable)
        return error(503, QStringLiteral("The ledger is unreachable or did not answer in time; try again later."));
    if (status == LedgerStatus::Refused && message.contains(QLatin1String("ledger add-reader")))
        return error(503, QStringLiteral("The line view's database login is not a reader's; its administrator "
                                         "must change it (ledger add-reader)."));
    return error(500, QStringLiteral("The ledger refused the query; its administrator finds why in the server's log."));
}

LedgerApi::Reply LedgerApi::line()
{
    const QDateTime now = QDateTime::currentDateTime();
    LineFigures figures(m_connection);
    QJsonObject body;
    QString message;
    const LedgerStatus status = figures.collect(now, LineFigures::shiftAt(m_shifts, now), &body, &message);
    return status == LedgerStatus::Ok ? json(200, body) : failure(status, message);
}

LedgerApi::Reply LedgerApi::story(const QUrlQuery &query)
{
    const QString value = query.queryItemValue(QStringLiteral("value"), QUrl::FullyDecoded);
    const QString kindName = query.queryItemValue(QStringLiteral("kind"), QUrl::FullyDecoded);
    if (value.isEmpty() || value.size() > 64)
        return error(400, QStringLiteral("\"value\" names the identity: 1 to 64 characters."));
    const int kind = kindName.isEmpty() ? 0 : Ledger::kindOf(kindName);
    if (kind < 0)
        return error(400, QStringLiteral("Unknown \"kind\": imei, mbsn, psn or bt."));
    LedgerReports reports(m_connection);
    QStringList lines;
    QString message;
    const LedgerStatus status = reports.story(kind, value, &lines, &message);
    if (status != LedgerStatus::Ok)
        return failure(status, message);
    if (lines.isEmpty())
        return error(404, QStringLiteral("The ledger does not know %1.").arg(value));
    return json(200, {{QStringLiteral("value"), value}, {QStringLiteral("lines"), QJsonArray::fromStringList(lines)}});
}

LedgerApi::Reply LedgerApi::cycles(const QUrlQuery &query)
{
    const QString fromText = query.queryItemValue(QStringLiteral("from"), QUrl::FullyDecoded);
    const QString toText = query.queryItemValue(QStringLiteral("to"), QUrl::FullyDecoded);
    const QDateTime from = parseTime(fromText, false);
    const QDateTime to = parseTime(toText, true);
    if (!from.isValid() || !to.isValid())
        return error(400, QStringLiteral("\"%1\" is not a time: give \"from\" and \"to\" as yyyy-MM-dd, yyyy-MM-dd "
                                         "hh:mm[:ss] (local time) or ISO 8601 with Z or an offset.")
                              .arg((from.isValid() ? toText : fromText).left(40)));
    if (to <= from)
        return error(400, QStringLiteral("The period ends before it starts."));
    int limit = defaultLimit;
    if (query.hasQueryItem(QStringLiteral("limit"))) {
        bool ok = false;
        limit = query.queryItemValue(QStringLiteral("limit")).toInt(&ok);
        if (!ok || limit < 1)
            return error(
                400, QStringLiteral("\"limit\" is a number of cycles from 1 (at most %1 are given).").arg(maxLimit));
        limit = qMin(limit, maxLimit);
    }
    LedgerReports::CycleCursor after;
    if (query.hasQueryItem(QStringLiteral("after")) &&
        !LedgerReports::CycleCursor::parse(query.queryItemValue(QStringLiteral("after")), &after))
        return error(400, QStringLiteral("\"after\" is the \"next\" of the page before, as it was given."));
    LedgerReports reports(m_connection);
    QJsonArray page;
    LedgerReports::CycleCursor next;
    QString message;
    const LedgerStatus status = reports.cyclePage(from, to, after, limit, &page, &next, &message);
    if (status != LedgerStatus::Ok)
        return failure(status, message);
    return json(200, {{QStringLiteral("from"), from.toUTC().toString(Qt::ISODateWithMs)},
                      {QStringLiteral("to"), to.toUTC().toString(Qt::ISODateWithMs)},
                      {QStringLiteral("limit"), limit},
                      {QStringLiteral("cycles"), page},
                      {QStringLiteral("next"), next.isNull() ? QJsonValue::Null : QJsonValue(next.text())}});
}

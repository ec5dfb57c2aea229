#pragma once

#include "ledger/LedgerConnection.h"
#include "ledger/LedgerTimeouts.h"

#include <QByteArray>
#include <QDateTime>
#include <QTime>
#include <QUrlQuery>
#include <QVector>

// The line view's read-only JSON API, apart from HTTP: a GET of a path with its query and Authorization header
// gives a status and a JSON body.
//
//   /api/line                       the line's current figures (LineFigures)
//   /api/story?value=V[&kind=K]     an identity's story, as `ledger story` tells it
//   /api/cycles?from=F&to=T[&limit=N][&after=CURSOR]
//                                   the cycles of a period, as `ledger export` gives them, a page at a time
//
// Every request carries "Authorization: Bearer TOKEN", a token of `ledger token add`. Each request is one
// read-only transaction under the reader's group role, so that even a login with more privileges reads only;
// and the login itself must be a reader (ledger add-reader), checked on every new connection.
class LedgerApi final
{
public:
    struct Reply
    {
        int status = 200;
        QByteArray body;
        bool challenge = false; // a 401: the client is told to bring a bearer token
    };

    static constexpr int defaultLimit = 500;
    static constexpr int maxLimit = 5000;

    LedgerApi(const QString &connInfo, const LedgerTimeouts &timeouts, const QVector<QTime> &shifts);

    Reply get(const QString &path, const QUrlQuery &query, const QByteArray &authorization);
    // Whether the ledger is at this program's version and the login is a reader's, before serving; Unreachable
    // when the ledger does not answer (the server may start anyway and answer 503 until it does).
    LedgerStatus checkReady(QString *message);

    // A time of the API's queries: yyyy-MM-dd, yyyy-MM-dd hh:mm[:ss] (or with 'T'), local time, where a `to`
    // (`end`) counts whole (its day, minute or second); or an ISO 8601 time with Z or an offset, taken as it is.
    static QDateTime parseTime(const QString &text, bool end);

private:
    Reply line();
    Reply story(const QUrlQuery &query);
    Reply cycles(const QUrlQuery &query);
    // Opens the request's transaction and finds the token's client; a reply when the request ends here.
    bool begin(const QByteArray &authorization, Reply *refusal);
    bool checkLogin(QString *why);
    void endTransaction(bool commit);
    Reply failure(LedgerStatus status, const QString &message);

    LedgerConnection m_connection;
    QVector<QTime> m_shifts;
    int m_checkedBackend = 0; // the server process whose login was found to be a reader
};

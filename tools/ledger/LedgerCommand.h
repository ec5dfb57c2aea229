#pragma once

#include "ledger/LedgerConnection.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

// The `ledger` command line: creates the line's ledger, adds stations, shared counters and workbook pools, imports a
// station's history files, tells an identity's story, exports the cycles of a period, and serves the line view with its
// clients' tokens. Kept out of main() so that the tests run it in-process.
class LedgerCommand final
{
public:
    enum ExitCode : int
    {
        Success = 0,
        Failure = 1,
        Usage = 2,       // the command line is wrong
        SharedFound = 3, // the import found identities that two handsets carry
        Unreachable = 4, // the ledger did not answer, or another session held it up: try again later
    };

    // `args` without the program name. Returns the exit code; text goes to out() and err().
    int run(const QStringList &args);

    const QString &out() const { return m_out; }
    const QString &err() const { return m_err; }

    static QString usage();
    // A period's end from the command line: "yyyy-MM-dd" or "yyyy-MM-dd hh:mm[:ss]" (or with 'T'), local time,
    // nothing else: the time the text names, or with `end` the start of the next day, minute or second (a --to
    // counts whole). Invalid when the text is anything else.
    static QDateTime parseWhen(const QString &text, bool end);

private:
    int createSchema(QStringList args);
    int addStation(QStringList args);
    static QString unboundRoles(LedgerConnection &connection);
    LedgerTimeouts longStatements() const;
    int check(const QStringList &args);
    int addCounter(QStringList args);
    int counters(const QStringList &args);
    int addPool(QStringList args);
    // Lines naming the server reached, whether it is the primary, and its standbys' lag (or its own replay).
    static QString replication(LedgerConnection &connection);
    int import(QStringList args);
    int story(QStringList args);
    int exportCycles(QStringList args);
    int addReader(const QStringList &args);
    int token(const QStringList &args);
    // Runs the line view's server until the process is ended.
    int serve(QStringList args);
    int fail(const QString &message, int code = Failure);
    int failStatus(int status, const QString &message);

    QString m_connection;
    LedgerTimeouts m_timeouts;
    QString m_out;
    QString m_err;
};

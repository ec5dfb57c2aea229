#pragma once

#include <QString>
#include <QStringList>

// The `ledger` command line: creates the line's ledger, adds stations, imports a station's history files,
// tells an identity's story and exports the cycles of a period. Kept out of main() so that the tests run it
// in-process.
class LedgerCommand final
{
public:
    enum ExitCode : int
    {
        Success = 0,
        Failure = 1,
        Unreachable = 2,
        SharedFound = 3, // the import found identities that two handsets carry
    };

    // `args` without the program name. Returns the exit code; text goes to out() and err().
    int run(const QStringList &args);

    const QString &out() const { return m_out; }
    const QString &err() const { return m_err; }

    static QString usage();

private:
    int createSchema(QStringList args);
    int addStation(const QStringList &args);
    int check(const QStringList &args);
    int import(QStringList args);
    int story(QStringList args);
    int exportCycles(QStringList args);
    int fail(const QString &message, int code = Failure);
    int failStatus(int status, const QString &message);

    QString m_connection;
    QString m_out;
    QString m_err;
};

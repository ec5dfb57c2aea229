#pragma once

#include <QString>
#include <QStringList>

// The `handset` command line: plugs, unplugs, shows and breaks bench handsets. Kept out of main() so that the
// tests run it in-process.
class HandsetCommand final
{
public:
    // `args` without the program name. Returns the exit code; text goes to out() and err().
    int run(const QStringList &args);

    const QString &out() const { return m_out; }
    const QString &err() const { return m_err; }

    static QString usage();

private:
    int plug(QStringList args);
    int unplug(const QStringList &args);
    int list(const QStringList &args);
    int show(const QStringList &args);
    int setVersion(const QStringList &args);
    int fault(const QStringList &args);
    int fail(const QString &message, int code = 1);

    QString m_out;
    QString m_err;
};

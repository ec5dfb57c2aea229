#pragma once

#include <QString>
#include <QStringList>

struct BenchHandset;

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
    // Milliseconds a swap leaves the port empty unless told otherwise: several passes of the tool's port scan.
    static constexpr int DefaultSwapGap = 1000;

private:
    int plug(QStringList args);
    int swap(QStringList args);
    // Applies plug options to `h`; factory data given replaces `h`'s when `keptData`. 0, or the exit code.
    int parseHandset(const QStringList &args, BenchHandset &h, bool keptData);
    int unplug(const QStringList &args);
    int list(const QStringList &args);
    int show(const QStringList &args);
    int setVersion(const QStringList &args);
    int fault(const QStringList &args);
    int fail(const QString &message, int code = 1);
    // A refusal of the bench, naming the folder and its group when this account may not write there.
    int failBench(const QString &error);

    QString m_out;
    QString m_err;
};

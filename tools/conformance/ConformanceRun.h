#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class HandsetSession;

// Every behaviour the tool relies on from a device backend, tried on one handset set aside for it (its factory
// data is overwritten). Each check gives a row: the behaviour, passed or not, and why not.
class ConformanceRun final
{
public:
    struct Row
    {
        QString behaviour;
        bool passed = false;
        QString detail;
    };

    // `abortBoundMs`: how long after the abort flag goes up a long operation may still run.
    ConformanceRun(const QString &port, int abortBoundMs);

    QList<Row> run();
    static QString table(const QList<Row> &rows);

private:
    // Each check returns an empty text when it passes, else what went wrong.
    QString connectAndExclusive();
    QString chipId();
    QString flashInfo();
    QString version();
    QString ramRun();
    QString factoryData();
    QString stationFlags();
    QString readsChangeNothing();
    QString errorsAsCodes();
    QString abortHonoured();
    QString powerLoss();

    QString inject(const QString &fault);
    // Runs `operation` of the session with the abort flag going up a moment into it.
    QString abortDuring(const QString &what, HandsetSession &session, const std::function<int()> &operation);

    QString m_port;
    int m_abortBoundMs;
};

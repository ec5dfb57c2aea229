#pragma once

#include "Bench.h"
#include "BenchFaults.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A bench of simulated handsets in a temporary directory, for one test (or one test function): sets
// TGTLINK_BENCH and TGTLINK_STATIONS, lays out RAM-run images, and restores the environment and the current
// directory when it goes away.
class BenchFixture final
{
public:
    explicit BenchFixture(const QStringList &stations = defaultStations());
    ~BenchFixture();

    static QStringList defaultStations();

    bool isValid() const { return m_valid; }
    QString benchDir() const;
    // Holds ramrun/ and stations.txt, like the executable's directory.
    QString runtimeDir() const { return m_dir.path(); }
    QString stationsPath() const { return m_stationsPath; }
    // Makes the runtime directory current, so that the library's relative RAM-run names resolve.
    void enterRuntimeDir();
    // Switches to another station list (a new file, so that the library reads it).
    bool setStations(const QStringList &names);

    // A handset with the bench defaults on `port`, its kind from the name.
    static BenchHandset handset(const QString &port = QStringLiteral("USB1"));
    bool plug(const BenchHandset &handset);
    bool plug(const QString &port = QStringLiteral("USB1")) { return plug(handset(port)); }
    bool unplug(const QString &port = QStringLiteral("USB1"));
    // The handset as it is now (a default handset with an empty port when it cannot be read).
    BenchHandset read(const QString &port = QStringLiteral("USB1")) const;

    bool fault(const QString &port, const QString &op, int code, bool once = true);
    bool powerCut(const QString &port, qint64 bytes, bool once = true);
    bool clearFaults(const QString &port = QStringLiteral("USB1"));

private:
    QTemporaryDir m_dir;
    QString m_stationsPath;
    int m_stationFiles = 0;
    bool m_valid = false;
    QByteArray m_oldBench, m_oldStations, m_oldScale;
    bool m_hadBench, m_hadStations, m_hadScale;
    QString m_oldCwd;
};

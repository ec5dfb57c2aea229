#include "app/SingleInstanceLock.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#ifndef DOVERARIZ_EXE
#error "DOVERARIZ_EXE names the built executable"
#endif

namespace {
const QString ChineseTitle = QStringLiteral("KVX IMEI 写号工具 v10.00.01");
constexpr int StartTimeout = 30000; // ms; a sanitized build starts slowly on a busy machine
} // namespace

// Runs real copies of the built executable, each from a directory of its own laid out like an installation
// (the executable and tr/), with a private temporary directory and data folder.
class TestStartup final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void lockIsExclusive_data();
    void lockIsExclusive();
    void lockNotInheritedByChildren();
    void secondInstanceRefused_data();
    void secondInstanceRefused();
    void killedInstanceDoesNotBlock();
    void findsFilesBesideExecutable();
    void installedLayoutKeepsDataApart_data();
    void installedLayoutKeepsDataApart();
    void unwritableDataFolderRefused();
    void informationRequests_data();
    void informationRequests();

private:
    QString appPath(const QString &relative) const { return QDir(m_root->path() + "/app").filePath(relative); }
    // Starts the tool; it quits by itself after `exitAfterMs`.
    std::unique_ptr<QProcess> start(int exitAfterMs, const QString &workingDir = QString(),
                                    const QProcessEnvironment &extra = QProcessEnvironment(),
                                    const QStringList &arguments = QStringList());
    void writeSettings(const QString &dir, const QString &language);
    QStringList logFiles() const;

    std::unique_ptr<QTemporaryDir> m_root;
};

void TestStartup::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    const QDir root(m_root->path());
    for (const char *dir : {"app/tr", "tmp", "bench", "elsewhere"})
        QVERIFY(root.mkpath(QString::fromLatin1(dir)));
    QVERIFY(QFile::copy(QStringLiteral(DOVERARIZ_EXE), appPath(QStringLiteral("doverariz"))));
    QVERIFY(QFile::setPermissions(appPath(QStringLiteral("doverariz")),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QDir catalogues(QStringLiteral(DOVERARIZ_RUNTIME_DIR "/tr"));
    const QStringList names = catalogues.entryList({QStringLiteral("*.qm")}, QDir::Files);
    QVERIFY(names.contains(QStringLiteral("imei_chs.qm")));
    for (const QString &name : names)
        QVERIFY(QFile::copy(catalogues.filePath(name), appPath(QStringLiteral("tr/") + name)));
}

void TestStartup::cleanup()
{
    m_root.reset();
}

std::unique_ptr<QProcess> TestStartup::start(int exitAfterMs, const QString &workingDir,
                                             const QProcessEnvironment &extra, const QStringList &arguments)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TMPDIR"), m_root->path() + QStringLiteral("/tmp"));
    env.insert(QStringLiteral("TGTLINK_BENCH"), m_root->path() + QStringLiteral("/bench"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("DOVERARIZ_EXIT_AFTER_MS"), QString::number(exitAfterMs));
    env.remove(QStringLiteral("DOVERARIZ_DATA_DIR"));
    env.insert(extra);
    process->setProcessEnvironment(env);
    process->setWorkingDirectory(workingDir.isEmpty() ? m_root->path() + QStringLiteral("/elsewhere") : workingDir);
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->start(appPath(QStringLiteral("doverariz")), arguments);
    return process;
}

void TestStartup::writeSettings(const QString &dir, const QString &language)
{
    QVERIFY(QDir().mkpath(dir + QStringLiteral("/cfg")));
    QFile ini(dir + QStringLiteral("/cfg/ImeiSN.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    QVERIFY(ini.write("[ImeiSN]\nlanguage=" + language.toUtf8() + "\n") > 0);
}

QStringList TestStartup::logFiles() const
{
    return QDir(appPath(QStringLiteral("log"))).entryList({QStringLiteral("doverariz.*.log")}, QDir::Files);
}

void TestStartup::lockIsExclusive_data()
{
    QTest::addColumn<bool>("sameName");
    QTest::addColumn<bool>("secondLocks");

    QTest::newRow("same name") << true << false;
    QTest::newRow("other name") << false << true;
}

void TestStartup::lockIsExclusive()
{
    QFETCH(bool, sameName);
    QFETCH(bool, secondLocks);

    const QString name = m_root->path() + QStringLiteral("/data/cfg/doverariz.lock");
    auto first = std::make_unique<SingleInstanceLock>(name);
    QVERIFY(first->tryLock());
    QVERIFY(first->tryLock()); // asking again while holding it is no refusal
    SingleInstanceLock second(sameName ? name : name + QStringLiteral("-other"));
    QCOMPARE(second.tryLock(), secondLocks);
    first.reset();
    QVERIFY(second.tryLock()); // released with its holder
}

void TestStartup::lockNotInheritedByChildren()
{
    // A manual viewer started by the tool outlives it; it must not keep the next start out.
    const QString name = m_root->path() + QStringLiteral("/doverariz.lock");
    auto holder = std::make_unique<SingleInstanceLock>(name);
    QVERIFY(holder->tryLock());
    QProcess child;
    child.start(QStringLiteral("/bin/sleep"), {QStringLiteral("30")});
    QVERIFY(child.waitForStarted());
    holder.reset();
    SingleInstanceLock next(name);
    const bool locked = next.tryLock();
    child.kill();
    child.waitForFinished();
    QVERIFY(locked);
}

void TestStartup::secondInstanceRefused_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("otherTemporaryFolder"); // another account's: the lock guards the data, not the account

    // The box comes before the window, which is what loads the catalogues otherwise.
    QTest::newRow("Chinese") << "Chinese" << QStringLiteral("box: 错误: 程序已经在运行。") << false;
    QTest::newRow("English") << "English" << QStringLiteral("box: Error: You have already run an application.")
                             << false;
    QTest::newRow("another temporary folder")
        << "English" << QStringLiteral("box: Error: You have already run an application.") << true;
}

void TestStartup::secondInstanceRefused()
{
    QFETCH(QString, language);
    QFETCH(QString, box);
    QFETCH(bool, otherTemporaryFolder);
    writeSettings(appPath(QString()), language);
    auto first = start(600000);
    QVERIFY(first->waitForStarted());
    // The log file is opened at the end of the window's construction, long after the lock was taken.
    QTRY_VERIFY_WITH_TIMEOUT(logFiles().size() == 1, StartTimeout);
    const QStringList before = QDir(appPath(QString())).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

    QProcessEnvironment other;
    if (otherTemporaryFolder) {
        QVERIFY(QDir().mkpath(m_root->path() + QStringLiteral("/tmp2")));
        other.insert(QStringLiteral("TMPDIR"), m_root->path() + QStringLiteral("/tmp2"));
    }
    auto second = start(0, QString(), other);
    QVERIFY2(second->waitForFinished(StartTimeout), qPrintable(second->errorString()));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(qint8(second->exitCode()), qint8(-1));
    const QString out = QString::fromUtf8(second->readAllStandardOutput());
    QVERIFY2(out.contains(box), qPrintable(out));
    // It touched nothing: no log file of its own, nothing new beside the executable.
    QCOMPARE(logFiles().size(), 1);
    QCOMPARE(QDir(appPath(QString())).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);

    QCOMPARE(first->state(), QProcess::Running); // the first copy is unaffected
    first->kill();
    QVERIFY(first->waitForFinished(StartTimeout));
}

void TestStartup::killedInstanceDoesNotBlock()
{
    auto killed = start(600000);
    QVERIFY(killed->waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(logFiles().size() == 1, StartTimeout);
    killed->kill(); // no chance to release anything itself
    QVERIFY(killed->waitForFinished(StartTimeout));

    for (int run = 0; run < 2; ++run) { // and one that closed normally does not block either
        auto next = start(200);
        QVERIFY(next->waitForFinished(StartTimeout));
        const QString out = QString::fromUtf8(next->readAllStandardOutput());
        QCOMPARE(next->exitCode(), 0);
        QVERIFY2(out.contains(QStringLiteral("title: ")), qPrintable(out));
        QVERIFY2(!out.contains(QStringLiteral("box: ")), qPrintable(out));
    }
}

void TestStartup::findsFilesBesideExecutable()
{
    const QString elsewhere = m_root->path() + QStringLiteral("/elsewhere");
    auto run = start(200, elsewhere);
    QVERIFY(run->waitForFinished(StartTimeout));
    QCOMPARE(run->exitCode(), 0);
    const QString out = QString::fromUtf8(run->readAllStandardOutput());
    QVERIFY2(out.contains(QStringLiteral("title: ") + ChineseTitle), qPrintable(out)); // tr/ was found

    QVERIFY(QFile::exists(appPath(QStringLiteral("cfg/ImeiSN.ini")))); // saved when the window went
    QVERIFY(QFile::exists(appPath(QStringLiteral("cfg/imei_history.data"))));
    QCOMPARE(logFiles().size(), 1);
    QCOMPARE(QDir(elsewhere).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

void TestStartup::installedLayoutKeepsDataApart_data()
{
    QTest::addColumn<QString>("location");     // the location file's text; empty: none
    QTest::addColumn<QString>("variable");     // DOVERARIZ_DATA_DIR; empty: unset
    QTest::addColumn<QString>("expectedData"); // relative to the temporary root

    QTest::newRow("location file, absolute") << "%1/var/data\n"
                                             << ""
                                             << "var/data";
    QTest::newRow("location file, relative to the executable") << "../var/rel"
                                                               << ""
                                                               << "var/rel";
    QTest::newRow("variable wins over the file") << "%1/var/data"
                                                 << "%1/var/own"
                                                 << "var/own";
    QTest::newRow("variable alone") << ""
                                    << "%1/var/own"
                                    << "var/own";
    QTest::newRow("blank location file: beside the executable") << "  \n"
                                                                << ""
                                                                << "app";
}

void TestStartup::installedLayoutKeepsDataApart()
{
    QFETCH(QString, location);
    QFETCH(QString, variable);
    QFETCH(QString, expectedData);
    const QString root = m_root->path();
    if (!location.isEmpty()) {
        QFile file(appPath(QStringLiteral("data-location")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(QString(location).replace(QStringLiteral("%1"), root).toUtf8()) > 0);
    }
    QProcessEnvironment extra;
    if (!variable.isEmpty())
        extra.insert(QStringLiteral("DOVERARIZ_DATA_DIR"), QString(variable).replace(QStringLiteral("%1"), root));
    extra.insert(QStringLiteral("TGTLINK_BENCH"), QString()); // installed, the bench follows the data
    const QString data = root + QLatin1Char('/') + expectedData;
    writeSettings(data, QStringLiteral("English"));
    const QStringList beside = QDir(appPath(QString())).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

    auto run = start(200, QString(), extra);
    QVERIFY(run->waitForFinished(StartTimeout));
    const QString out = QString::fromUtf8(run->readAllStandardOutput());
    QCOMPARE(run->exitCode(), 0);
    QVERIFY2(out.contains(QStringLiteral("title: KVX IMEI Write tool")), qPrintable(out)); // its settings were read
    QVERIFY(QFile::exists(data + QStringLiteral("/cfg/imei_history.data")));
    QCOMPARE(QDir(data + QStringLiteral("/log")).entryList(QDir::Files).size(), 1);
    if (expectedData != QLatin1String("app")) {
        QCOMPARE(QDir(appPath(QString())).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), beside);
        // Made for every operator account of the station's group.
        QVERIFY(QFileInfo(data + QStringLiteral("/cfg/imei_history.data")).permissions() & QFile::WriteGroup);
    }
}

void TestStartup::unwritableDataFolderRefused()
{
    // A folder below a plain file can be made by no account, root included.
    QFile blocker(m_root->path() + QStringLiteral("/plain-file"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QProcessEnvironment extra;
    extra.insert(QStringLiteral("DOVERARIZ_DATA_DIR"), blocker.fileName() + QStringLiteral("/data"));
    writeSettings(appPath(QString()), QStringLiteral("English")); // beside the executable: not read

    auto run = start(200, QString(), extra);
    QVERIFY(run->waitForFinished(StartTimeout));
    const QString out = QString::fromUtf8(run->readAllStandardOutput());
    QCOMPARE(qint8(run->exitCode()), qint8(-1));
    QVERIFY2(out.contains(QStringLiteral("box: 错误: ")), qPrintable(out)); // default language: Chinese
    QVERIFY2(out.contains(QDir::toNativeSeparators(blocker.fileName() + QStringLiteral("/data"))), qPrintable(out));
    QVERIFY2(!out.contains(QStringLiteral("title: ")), qPrintable(out));
}

// --help and --version print and end at once, on any platform, without a window or a file of the station; Qt's
// own options beside them still count as Qt's.
void TestStartup::informationRequests_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("printed");
    const QString version = QStringLiteral("doverariz " DOVERARIZ_VERSION " (build ");
    QTest::newRow("--version") << QStringList{"--version"} << version;
    QTest::newRow("-v") << QStringList{"-v"} << version;
    QTest::newRow("--help") << QStringList{"--help"} << QStringLiteral("Usage: doverariz");
    QTest::newRow("-h after a Qt option")
        << QStringList{"-platform", "offscreen", "-h"} << QStringLiteral("Usage: doverariz");
    QTest::newRow("no display needed") << QStringList{"-platform", "xcb", "--version"} << version;
}

void TestStartup::informationRequests()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, printed);
    auto run = start(60000, QString(), QProcessEnvironment(), arguments);
    QVERIFY(run->waitForFinished(StartTimeout / 3));
    const QString out = QString::fromUtf8(run->readAllStandardOutput());
    QCOMPARE(run->exitStatus(), QProcess::NormalExit);
    QCOMPARE(run->exitCode(), 0);
    QVERIFY2(out.startsWith(printed), qPrintable(out));
    QVERIFY2(!out.contains(QStringLiteral("title: ")), qPrintable(out));
    QVERIFY(!QFileInfo::exists(appPath(QStringLiteral("cfg"))));
}

QTEST_GUILESS_MAIN(TestStartup)
#include "TestStartup.moc"

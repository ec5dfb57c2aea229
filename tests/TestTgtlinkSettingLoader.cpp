// The settings loader: values in both directions, tolerance of bad files, atomic saving.
#include "tgtlink/SettingLoader.h"

#include <QtTest>

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Values
{
    QString text = QStringLiteral("default");
    bool flag = true;
    int number = 7;
};

Values load(const QString &path, Values v = Values())
{
    SettingLoader loader(path, true);
    loader.beginGroup(QStringLiteral("ImeiSN"));
    loader.value(QStringLiteral("text"), v.text);
    loader.value(QStringLiteral("flag"), v.flag);
    loader.value(QStringLiteral("number"), v.number);
    return v;
}

} // namespace

class TestTgtlinkSettingLoader final : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("flag");
        QTest::addColumn<int>("number");
        QTest::newRow("plain") << "COM7" << false << 42;
        QTest::newRow("commas and quotes") << "a, b; \"c\" = d" << true << -1;
        QTest::newRow("non-ascii") << QStringLiteral("工位 ü") << false << 2147483647;
        QTest::newRow("empty") << "" << true << -2147483647 - 1;
    }
    void roundTrip()
    {
        QFETCH(QString, text);
        QFETCH(bool, flag);
        QFETCH(int, number);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("cfg/ImeiSN.ini"));
        QDir().mkpath(dir.filePath(QStringLiteral("cfg")));
        {
            SettingLoader saver(path, false);
            QVERIFY(!saver.isLoading());
            saver.beginGroup(QStringLiteral("ImeiSN"));
            saver.value(QStringLiteral("text"), text);
            saver.value(QStringLiteral("flag"), flag);
            saver.value(QStringLiteral("number"), number);
        }
        const Values v = load(path);
        QCOMPARE(v.text, text);
        QCOMPARE(v.flag, flag);
        QCOMPARE(v.number, number);
        // Nothing but the settings file is left beside it.
        QCOMPARE(
            QDir(dir.filePath(QStringLiteral("cfg"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList({"ImeiSN.ini"}));
    }

    // Wrong types, missing keys and unreadable files leave the variables as they were.
    void badValuesLeaveVariablesAlone_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("flag");
        QTest::addColumn<int>("number");
        QTest::newRow("all present") << QByteArray("[ImeiSN]\ntext=abc\nflag=false\nnumber=12\n") << "abc" << false
                                     << 12;
        QTest::newRow("numeric bool") << QByteArray("[ImeiSN]\nflag=0\nnumber= 13 \n") << "default" << false << 13;
        QTest::newRow("keys missing") << QByteArray("[ImeiSN]\nother=1\n") << "default" << true << 7;
        QTest::newRow("other group") << QByteArray("[Other]\ntext=x\nflag=false\nnumber=1\n") << "default" << true << 7;
        QTest::newRow("wrong types") << QByteArray("[ImeiSN]\nflag=abc\nnumber=abc\n") << "default" << true << 7;
        QTest::newRow("int overflow") << QByteArray("[ImeiSN]\nnumber=99999999999\n") << "default" << true << 7;
        QTest::newRow("byte array text") << QByteArray("[ImeiSN]\ntext=@ByteArray(xyz)\n") << "default" << true << 7;
        QTest::newRow("unquoted list") << QByteArray("[ImeiSN]\ntext=a, b\n") << "a, b" << true << 7;
        QByteArray garbage;
        for (int i = 0; i < 70000; ++i)
            garbage.append(char((i * 7919) % 256));
        QTest::newRow("binary garbage") << garbage << "default" << true << 7;
        QTest::newRow("long line") << QByteArray("[ImeiSN]\nnumber=5\ntext=") + QByteArray(900000, 'x') + "\n"
                                   << QString(900000, QLatin1Char('x')) << true << 5;
        QTest::newRow("over the size limit")
            << QByteArray("[ImeiSN]\nnumber=5\n") + QByteArray(1100000, ';') << "default" << true << 7;
    }
    void badValuesLeaveVariablesAlone()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, text);
        QFETCH(bool, flag);
        QFETCH(int, number);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ImeiSN.ini"));
        QVERIFY(writeFile(path, content));
        const Values v = load(path);
        QCOMPARE(v.text, text);
        QCOMPARE(v.flag, flag);
        QCOMPARE(v.number, number);
        QCOMPARE(readFile(path), content); // reading never writes
    }

    void missingOrHugeFile_data()
    {
        QTest::addColumn<int>("kind"); // 0 missing, 1 directory, 2 sparse 3 GiB
        QTest::newRow("missing") << 0;
        QTest::newRow("directory") << 1;
        QTest::newRow("gigabytes") << 2;
    }
    void missingOrHugeFile()
    {
        QFETCH(int, kind);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ImeiSN.ini"));
        if (kind == 1)
            QVERIFY(QDir().mkpath(path));
        if (kind == 2) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.write("[ImeiSN]\nnumber=1\n") > 0);
            QVERIFY(f.resize(3LL * 1024 * 1024 * 1024)); // sparse: costs no disk
        }
        const Values v = load(path);
        QCOMPARE(v.text, QStringLiteral("default"));
        QCOMPARE(v.number, 7);
    }

    // A file rewritten at once with other values of the same size is read anew every time.
    void rewrittenFileIsReadAnew()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ImeiSN.ini"));
        for (int n = 1; n <= 9; ++n) {
            QVERIFY(writeFile(path, "[ImeiSN]\nnumber=" + QByteArray::number(n) + "\n"));
            QCOMPARE(load(path).number, n);
        }
    }

    // A file that cannot be taken whole: neither direction touches it, and the loader says why.
    void unusableFileIsNeverWritten_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("line");
        QTest::newRow("open group") << QByteArray("[ImeiSN]\nnumber=5\n[Other\n") << 3;
        QTest::newRow("no =") << QByteArray("[ImeiSN]\nnumber=5\r\nwords\r\n") << 3;
        QTest::newRow("not UTF-8") << QByteArray("[ImeiSN]\ntext=\xff\n") << 2;
        QTest::newRow("over the size limit") << QByteArray("[ImeiSN]\nnumber=5\n") + QByteArray(1100000, ';') << 0;
    }
    void unusableFileIsNeverWritten()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, line);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ImeiSN.ini"));
        QVERIFY(writeFile(path, content));
        {
            SettingLoader reader(path, true);
            QCOMPARE(reader.problemLine(), line);
            QVERIFY(!reader.problem().isEmpty());
            QVERIFY(!reader.commit());
        }
        SettingLoader saver(path, false);
        saver.beginGroup(QStringLiteral("ImeiSN"));
        int number = 99;
        saver.value(QStringLiteral("number"), number);
        QVERIFY(!saver.commit());
        QVERIFY(!saver.problem().isEmpty());
        QCOMPARE(readFile(path), content);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"ImeiSN.ini"}));
    }

    // The bounded int: any stored number, however long, ends up within the bounds; what is no number is left.
    void boundedInt_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("loaded");
        QTest::newRow("inside") << QByteArray("50") << 50;
        QTest::newRow("above") << QByteArray("101") << 100;
        QTest::newRow("beyond int") << QByteArray("99999999999") << 100;
        QTest::newRow("beyond long long") << QByteArray("123456789012345678901234567890") << 100;
        QTest::newRow("below") << QByteArray("-3") << 1;
        QTest::newRow("far below") << QByteArray("-99999999999999999999999") << 1;
        QTest::newRow("blanks and sign") << QByteArray(" +7 ") << 7;
        QTest::newRow("text") << QByteArray("7x") << 42;
        QTest::newRow("sign only") << QByteArray("-") << 42;
        QTest::newRow("empty") << QByteArray("") << 42;
    }
    void boundedInt()
    {
        QFETCH(QByteArray, stored);
        QFETCH(int, loaded);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ImeiSN.ini"));
        QVERIFY(writeFile(path, "[ImeiSN]\nnumber=" + stored + "\n"));
        SettingLoader reader(path, true);
        reader.beginGroup(QStringLiteral("ImeiSN"));
        int number = 42;
        reader.value(QStringLiteral("number"), number, 1, 100);
        QCOMPARE(number, loaded);
    }

    void savingKeepsOtherKeys()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ImeiSN.ini"));
        QVERIFY(writeFile(path, "[ImeiSN]\nnumber=1\nforeign=kept\n[Other]\nx=y\n"));
        {
            SettingLoader saver(path, false);
            saver.beginGroup(QStringLiteral("ImeiSN"));
            int number = 99;
            saver.value(QStringLiteral("number"), number);
        }
        QSettings check(path, QSettings::IniFormat);
        QCOMPARE(check.value(QStringLiteral("ImeiSN/number")).toInt(), 99);
        QCOMPARE(check.value(QStringLiteral("ImeiSN/foreign")).toString(), QStringLiteral("kept"));
        QCOMPARE(check.value(QStringLiteral("Other/x")).toString(), QStringLiteral("y"));
    }

    // Until the loader is destroyed the old file stays whole; a save into an unwritable place keeps it.
    // Values put straight into the file only where its lines leave no doubt about what the format would read;
    // anything else is left to the loader, the file untouched.
    void replaceInPlace_data()
    {
        QTest::addColumn<QByteArray>("before"); // "<none>": no file
        QTest::addColumn<QString>("value");     // for "text"; "flag" gets "false"
        QTest::addColumn<bool>("inPlace");
        QTest::addColumn<QByteArray>("after");
        const QByteArray plain("[ImeiSN]\n; kept\nflag=true\ntext=old\nnumber=3\n");
        QTest::newRow("plain lines") << plain << "N3w" << true
                                     << QByteArray("[ImeiSN]\n; kept\nflag=false\ntext=N3w\nnumber=3\n");
        QTest::newRow("empty value") << plain << "" << true
                                     << QByteArray("[ImeiSN]\n; kept\nflag=false\ntext=\nnumber=3\n");
        QTest::newRow("same key in another group kept")
            << QByteArray("[Other]\nnumber=1\n[ImeiSN]\ntext=a\nflag=true\n") << "b" << true
            << QByteArray("[Other]\nnumber=1\n[ImeiSN]\ntext=b\nflag=false\n");
        QTest::newRow("value the format escapes") << plain << "a b" << false << plain;
        QTest::newRow("missing file") << QByteArray("<none>") << "b" << false << QByteArray("<none>");
        QTest::newRow("key missing") << QByteArray("[ImeiSN]\nflag=true\n") << "b" << false
                                     << QByteArray("[ImeiSN]\nflag=true\n");
        QTest::newRow("key twice") << QByteArray("[ImeiSN]\nflag=true\ntext=a\ntext=c\n") << "b" << false
                                   << QByteArray("[ImeiSN]\nflag=true\ntext=a\ntext=c\n");
        QTest::newRow("key in another case") << QByteArray("[ImeiSN]\nflag=true\ntext=a\nTEXT=c\n") << "b" << false
                                             << QByteArray("[ImeiSN]\nflag=true\ntext=a\nTEXT=c\n");
        QTest::newRow("key only in another group") << QByteArray("[ImeiSN]\nflag=true\n[Other]\ntext=a\n") << "b"
                                                   << false << QByteArray("[ImeiSN]\nflag=true\n[Other]\ntext=a\n");
        QTest::newRow("group in another case") << QByteArray("[ImeiSN]\nflag=true\n[IMEISN]\ntext=a\n") << "b" << false
                                               << QByteArray("[ImeiSN]\nflag=true\n[IMEISN]\ntext=a\n");
        QTest::newRow("blanks around the equals sign") << QByteArray("[ImeiSN]\nflag=true\ntext = a\n") << "b" << false
                                                       << QByteArray("[ImeiSN]\nflag=true\ntext = a\n");
        QTest::newRow("escaped key") << QByteArray("[ImeiSN]\nflag=true\ntext=a\nte%78t=c\n") << "b" << false
                                     << QByteArray("[ImeiSN]\nflag=true\ntext=a\nte%78t=c\n");
        QTest::newRow("key with a group path") << QByteArray("ImeiSN/text=c\n[ImeiSN]\nflag=true\ntext=a\n") << "b"
                                               << false << QByteArray("ImeiSN/text=c\n[ImeiSN]\nflag=true\ntext=a\n");
        QTest::newRow("line continued onto the key")
            << QByteArray("[ImeiSN]\nflag=true\nnumber=1\\\ntext=a\n") << "b" << false
            << QByteArray("[ImeiSN]\nflag=true\nnumber=1\\\ntext=a\n");
        QTest::newRow("carriage returns") << QByteArray("[ImeiSN]\r\nflag=true\r\ntext=a\r\n") << "b" << false
                                          << QByteArray("[ImeiSN]\r\nflag=true\r\ntext=a\r\n");
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF[ImeiSN]\nflag=true\ntext=a\n") << "b" << false
                                         << QByteArray("\xEF\xBB\xBF[ImeiSN]\nflag=true\ntext=a\n");
        QTest::newRow("line the format cannot take") << QByteArray("[ImeiSN]\nflag=true\ntext=a\nnoequals\n") << "b"
                                                     << false << QByteArray("[ImeiSN]\nflag=true\ntext=a\nnoequals\n");
    }
    void replaceInPlace()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, value);
        QFETCH(bool, inPlace);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ImeiSN.ini"));
        if (before != "<none>")
            QVERIFY(writeFile(path, before));
        QString problem;
        const SettingLoader::InPlace result = SettingLoader::replaceInPlace(
            path, QStringLiteral("ImeiSN"),
            {{QStringLiteral("flag"), QStringLiteral("false")}, {QStringLiteral("text"), value}}, problem);
        QCOMPARE(result, inPlace ? SettingLoader::InPlace::Saved : SettingLoader::InPlace::NotInPlace);
        QVERIFY(problem.isEmpty());
        QCOMPARE(QFileInfo::exists(path) ? readFile(path) : QByteArray("<none>"), after);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), before == "<none>" ? 0 : 1);
        if (inPlace) {
            // The format reads what was put in.
            const Values v = load(path);
            QCOMPARE(v.text, value);
            QCOMPARE(v.flag, false);
        }
    }

    void replaceInPlaceKeepsPermissions()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ImeiSN.ini"));
        QVERIFY(writeFile(path, "[ImeiSN]\ntext=a\n"));
        const QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
        QVERIFY(QFile::setPermissions(path, permissions));
        if ((QFile::permissions(path) & 0x7077) != permissions)
            QSKIP("the system keeps no separate group and other permissions (Windows: one read-only flag)");
        QString problem;
        QCOMPARE(
            SettingLoader::replaceInPlace(path, QStringLiteral("ImeiSN"), {{QStringLiteral("text"), "b"}}, problem),
            SettingLoader::InPlace::Saved);
        QCOMPARE(QFile::permissions(path) & 0x7077, permissions);
    }

    void saveIsAtomic()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ImeiSN.ini"));
        const QByteArray old("[ImeiSN]\nnumber=1\n");
        QVERIFY(writeFile(path, old));
        {
            SettingLoader saver(path, false);
            saver.beginGroup(QStringLiteral("ImeiSN"));
            int number = 2;
            saver.value(QStringLiteral("number"), number);
            QCOMPARE(readFile(path), old);
        }
        QCOMPARE(load(path).number, 2);

        // A first save creates the missing folder.
        const QString fresh = dir.filePath(QStringLiteral("new/cfg/ImeiSN.ini"));
        {
            SettingLoader saver(fresh, false);
            saver.beginGroup(QStringLiteral("ImeiSN"));
            int number = 3;
            saver.value(QStringLiteral("number"), number);
        }
        QCOMPARE(load(fresh).number, 3);

        // A file that cannot be replaced (a folder stands there) is reported and left alone.
        const QString blocked = dir.filePath(QStringLiteral("blocked.ini"));
        QVERIFY(QDir().mkpath(blocked));
        {
            SettingLoader saver(blocked, false);
            int number = 4;
            saver.value(QStringLiteral("number"), number);
        }
        QVERIFY(QFileInfo(blocked).isDir());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"ImeiSN.ini"}));
    }
};

QTEST_GUILESS_MAIN(TestTgtlinkSettingLoader)
#include "TestTgtlinkSettingLoader.moc"

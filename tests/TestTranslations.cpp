#include "support/Catalogue.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#ifndef LUPDATE_EXE
#error "LUPDATE_EXE names Qt's lupdate"
#endif

// Runs lupdate over the sources into copies of the catalogues: a text of the tool without its Chinese (or
// English) translation, a catalogue that lupdate would still change, or a translation that lost a %1 fails here.
// Regenerate with `cmake --build build --target update_translations`, then translate what it marks unfinished.
class TestTranslations final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void catalogue_data();
    void catalogue();

private:
    QTemporaryDir m_dir;
};

void TestTranslations::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QStringList ts;
    for (const char *name : {"imei_chs.ts", "imei_chs_en.ts"}) {
        const QString copy = m_dir.filePath(QLatin1String(name));
        QVERIFY(QFile::copy(QStringLiteral(SOURCE_DIR "/translations/") + QLatin1String(name), copy));
        QVERIFY(QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner));
        ts << copy;
    }
    QProcess lupdate;
    lupdate.start(QStringLiteral(LUPDATE_EXE),
                  QStringList{QStringLiteral("-no-obsolete"), QStringLiteral("-locations"), QStringLiteral("none"),
                              QStringLiteral(SOURCE_DIR "/src"),
                              QStringLiteral(SOURCE_DIR "/tgtlink/src/DeviceBackend.cpp"), QStringLiteral("-ts")} +
                      ts);
    QVERIFY(lupdate.waitForFinished(120000));
    const QString report = QString::fromLocal8Bit(lupdate.readAllStandardError() + lupdate.readAllStandardOutput());
    QVERIFY2(lupdate.exitCode() == 0, qPrintable(report));
    // lupdate skips a tr() it cannot give a context (one in a free function): that text never reaches a catalogue.
    QStringList skipped;
    for (const QString &line : report.split(QLatin1Char('\n')))
        if (line.contains(QLatin1String("cannot be called without context")))
            skipped << line;
    QVERIFY2(skipped.isEmpty(), qPrintable(QStringLiteral("texts lupdate cannot place, spell them out with "
                                                          "QCoreApplication::translate(context, text):\n") +
                                           skipped.join(QLatin1Char('\n'))));
}

void TestTranslations::catalogue_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("chinese");
    QTest::newRow("Chinese") << "imei_chs.ts" << true;
    QTest::newRow("English") << "imei_chs_en.ts" << false;
}

void TestTranslations::catalogue()
{
    QFETCH(QString, name);
    QFETCH(bool, chinese);
    Catalogue committed, current;
    QString why;
    QVERIFY2(committed.load(QStringLiteral(SOURCE_DIR "/translations/") + name, &why), qPrintable(why));
    QVERIFY2(current.load(m_dir.filePath(name), &why), qPrintable(why));
    QVERIFY(current.entries().size() > 100);

    QStringList problems;
    QSet<QString> committedKeys;
    for (const auto &e : committed.entries())
        committedKeys.insert(e.context + QLatin1Char('|') + e.source);
    for (const auto &e : current.entries()) {
        const QString where = e.context + QStringLiteral(": \"") + e.source + QLatin1Char('"');
        if (!committedKeys.contains(e.context + QLatin1Char('|') + e.source))
            problems << QStringLiteral("not in the catalogue yet: ") + where;
        else if (e.unfinished || e.translation.trimmed().isEmpty())
            problems << QStringLiteral("no translation: ") + where;
        else if (Catalogue::placeholders(e.translation) != Catalogue::placeholders(e.source))
            problems << QStringLiteral("placeholders differ: ") + where + QStringLiteral(" -> ") + e.translation;
        // A Chinese translation that is the English text again is no translation, unless the text is a name.
        else if (chinese && e.translation == e.source &&
                 e.source.contains(QRegularExpression(QStringLiteral("[a-z]{3,}"))) &&
                 e.source != QLatin1String("English"))
            problems << QStringLiteral("left in English: ") + where;
    }
    if (current.entries().size() != committed.entries().size())
        problems << QStringLiteral("lupdate would change the catalogue: %1 entries instead of %2 (a text no longer "
                                   "in the sources?)")
                        .arg(current.entries().size())
                        .arg(committed.entries().size());
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

QTEST_GUILESS_MAIN(TestTranslations)
#include "TestTranslations.moc"

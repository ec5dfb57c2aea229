// The manuals quote the window through the catalogues: each placeholder becomes the text the window shows in
// the manual's language, and a text the catalogue lacks stops the render.
#include "ManualCatalogue.h"

#include <QtTest>

#ifndef DOVERARIZ_TRANSLATIONS_DIR
#error "DOVERARIZ_TRANSLATIONS_DIR names the folder of the catalogues"
#endif

class TestManualCatalogue final : public QObject
{
    Q_OBJECT

private slots:
    void resolve_data();
    void resolve();
};

void TestManualCatalogue::resolve_data()
{
    QTest::addColumn<QString>("catalogue");
    QTest::addColumn<QString>("markdown");
    QTest::addColumn<QString>("rendered");
    QTest::addColumn<int>("unknown");

    QTest::newRow("label, Chinese") << "imei_chs.ts"
                                    << "**{{tr:FPDoverARizSettingDlg|Load From File}}**"
                                    << QStringLiteral("**从文件导入**") << 0;
    QTest::newRow("label, English") << "imei_chs_en.ts"
                                    << "{{tr:FPDoverARizSettingDlg|Add 1(14th Digit)}}"
                                    << "Add 1(14th Digit)" << 0;
    QTest::newRow("message with its values")
        << "imei_chs.ts"
        << "| {{tr:IdentityChecks|IMEI%1 is invalid,you can use %2|1|353456789012348}} |"
        << QStringLiteral("| IMEI1 无效，可以使用 353456789012348 |") << 0;
    QTest::newRow("blanks around the source do not count")
        << "imei_chs.ts"
        << "{{tr:FPDoverARizMainWindow|IMEI source:Custom}}" << QStringLiteral("IMEI来源:自定义") << 0;
    QTest::newRow("Markdown characters escaped")
        << "imei_chs.ts"
        << "{{tr:FPDoverARizSettingDlg|Excel files (*.xls)}}" << QStringLiteral("Excel 文件 (\\*.xls)") << 0;
    QTest::newRow("several in one line") << "imei_chs.ts"
                                         << "{{tr:FPDoverARizWorker|Stop exited}} / {{tr:FPColorGraphicsView|Idle...}}"
                                         << QStringLiteral("已停止 / 空闲...") << 0;
    QTest::newRow("unknown text") << "imei_chs.ts"
                                  << "a {{tr:FPDoverARizWorker|Stop exitted}} b"
                                  << "a {{tr:FPDoverARizWorker|Stop exitted}} b" << 1;
    QTest::newRow("text of another context") << "imei_chs_en.ts"
                                             << "{{tr:FPDoverARizWorker|Load From File}}"
                                             << "{{tr:FPDoverARizWorker|Load From File}}" << 1;
    QTest::newRow("no source") << "imei_chs_en.ts"
                               << "{{tr:FPDoverARizWorker}}"
                               << "{{tr:FPDoverARizWorker}}" << 1;
}

void TestManualCatalogue::resolve()
{
    QFETCH(QString, catalogue);
    QFETCH(QString, markdown);
    QFETCH(QString, rendered);
    QFETCH(int, unknown);

    ManualCatalogue texts;
    QString error;
    QVERIFY2(texts.load(QStringLiteral(DOVERARIZ_TRANSLATIONS_DIR "/") + catalogue, &error), qPrintable(error));
    QStringList missing;
    QCOMPARE(texts.resolve(markdown, &missing), rendered);
    QCOMPARE(missing.size(), unknown);
}

QTEST_GUILESS_MAIN(TestManualCatalogue)
#include "TestManualCatalogue.moc"

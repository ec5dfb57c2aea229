#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#ifndef DOVERARIZ_RUNTIME_DIR
#error "DOVERARIZ_RUNTIME_DIR names the directory the build lays out"
#endif

// The manuals the build rendered beside the executable: every page renders, and the headings Help and the
// operator rely on are there as text (so the text layer, Chinese included, is real text and not pictures).
class TestManuals final : public QObject
{
    Q_OBJECT

private slots:
    void manual_data();
    void manual();

private:
    static bool run(const QString &program, const QStringList &arguments, QByteArray *out, QString *why);
};

bool TestManuals::run(const QString &program, const QStringList &arguments, QByteArray *out, QString *why)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(120000)) {
        *why = program + QStringLiteral(" did not finish");
        return false;
    }
    *out = process.readAllStandardOutput();
    const QByteArray errors = process.readAllStandardError();
    // Poppler reports damage on standard error but may still exit with 0.
    if (process.exitCode() != 0 || !errors.trimmed().isEmpty()) {
        *why = program + QStringLiteral(": ") + QString::fromUtf8(errors);
        return false;
    }
    return true;
}

void TestManuals::manual_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("headings");

    const QStringList zh = {QStringLiteral("第一部分：操作员的班次"),
                            QStringLiteral("写号"),
                            QStringLiteral("输入和扫描号码"),
                            QStringLiteral("连续模式"),
                            QStringLiteral("读号"),
                            QStringLiteral("状态面板的状态"),
                            QStringLiteral("写号过程的消息"),
                            QStringLiteral("第二部分：线体工程师的设置"),
                            QStringLiteral("设置对话框"),
                            QStringLiteral("号码来源"),
                            QStringLiteral("工作簿格式"),
                            QStringLiteral("历史记录"),
                            QStringLiteral("共用号码台账"),
                            QStringLiteral("文件和文件夹")};
    const QStringList en = {"Part 1: The operator's shift",
                            "Writing a handset",
                            "Typing and scanning identities",
                            "Continuous mode",
                            "Reading a handset",
                            "Statuses of the status panel",
                            "Messages of the device cycle",
                            "Part 2: The line engineer's set-up",
                            "The Setup dialog",
                            "Identity sources",
                            "Workbook layout",
                            "Histories",
                            "The shared ledger",
                            "Files and folders"};
    QTest::newRow("user guide, Chinese") << "DOC/DOVER_ARIZ_TOOL_USERGUIDE.pdf"
                                         << (QStringList{QStringLiteral("DoverAriz 写号工具 用户指南")} + zh);
    QTest::newRow("user guide, English") << "DOC/DOVER_ARIZ_TOOL_USERGUIDE_en.pdf"
                                         << (QStringList{"DoverAriz station tool: user guide", "The window"} + en);
    QTest::newRow("operator's manual (F1)")
        << "doc/dover_ariz_tool_manual_cn.pdf" << (QStringList{QStringLiteral("DoverAriz 写号工具 操作手册")} + zh);
}

void TestManuals::manual()
{
    QFETCH(QString, path);
    QFETCH(QStringList, headings);
    for (const char *tool : {"pdftoppm", "pdftotext", "pdfinfo"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            QSKIP("poppler-utils are not installed (scripts/install-deps.sh installs them)");
    }
    const QString pdf = QDir(QStringLiteral(DOVERARIZ_RUNTIME_DIR)).filePath(path);
    QVERIFY2(QFileInfo(pdf).size() > 10000, qPrintable(pdf + QStringLiteral(" is missing or nearly empty")));

    QByteArray out;
    QString why;
    QVERIFY2(run(QStringLiteral("pdfinfo"), {pdf}, &out, &why), qPrintable(why));
    const QRegularExpression pagesLine(QStringLiteral("^Pages:\\s+(\\d+)$"), QRegularExpression::MultilineOption);
    const int pages = pagesLine.match(QString::fromUtf8(out)).captured(1).toInt();
    QVERIFY2(pages >= 4, qPrintable(QStringLiteral("%1 pages").arg(pages)));

    // Every page rendered, each into a picture of its own that is not blank.
    QTemporaryDir images;
    QVERIFY(images.isValid());
    QVERIFY2(run(QStringLiteral("pdftoppm"), {"-r", "20", "-gray", pdf, images.filePath("page")}, &out, &why),
             qPrintable(why));
    const QFileInfoList rendered = QDir(images.path()).entryInfoList({QStringLiteral("page-*.pgm")}, QDir::Files);
    QCOMPARE(rendered.size(), pages);
    for (const QFileInfo &page : rendered) {
        const QImage image(page.filePath());
        QVERIFY2(!image.isNull(), qPrintable(page.fileName()));
        int dark = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                dark += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
        }
        QVERIFY2(dark > 50, qPrintable(page.fileName() + QStringLiteral(" is blank")));
    }

    QVERIFY2(run(QStringLiteral("pdftotext"), {"-layout", pdf, "-"}, &out, &why), qPrintable(why));
    const QString text = QString::fromUtf8(out);
    for (const QString &heading : headings)
        QVERIFY2(text.contains(heading), qPrintable(QStringLiteral("heading missing: ") + heading));
    QVERIFY2(!text.contains(QLatin1String("{{")), "an unfilled placeholder");
}

QTEST_GUILESS_MAIN(TestManuals)
#include "TestManuals.moc"

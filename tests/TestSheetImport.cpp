// Imports from workbooks in each format (.xls, .xlsx, .csv) made by tests/data/make_workbooks.py, and the
// readers under them: displayed cell texts, damaged files, very long sheets.

#include "config/ToolSettings.h"
#include "history/HistoryFiles.h"
#include "identity/IdentityFrontEnd.h"
#include "identity/IdentityPool.h"
#include "identity/ImeiPool.h"
#include "identity/IssuedIdentities.h"
#include "identity/SheetImport.h"
#include "workbook/CellNumberFormat.h"
#include "workbook/WorkbookReader.h"
#include "workbook/XlsWorkbookReader.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <zip.h>

namespace {

const QString I0 = QStringLiteral("352099001761408");
const QString I1 = QStringLiteral("352099001761416");
const QString I2 = QStringLiteral("352099001761424");
const QString I3 = QStringLiteral("352099001761432");
const QString I4 = QStringLiteral("352099001761440");
const QString I5 = QStringLiteral("352099001761457");
const QString I6 = QStringLiteral("352099001761465");
const QString I8 = QStringLiteral("352099001761481");
const QString I9 = QStringLiteral("352099001761499");
const QString M0 = QStringLiteral("MB000000000000000");
const QString M1 = QStringLiteral("MB100000000000000");
const QString M3 = QStringLiteral("MB300000000000000");
const QString M4 = QStringLiteral("MB400000000000000");
const QString P1 = QStringLiteral("PS100000000000000000");
const QString P2 = QStringLiteral("PS200000000000000000");

const QString ReadError = QStringLiteral("Read excel file error!");
const QString NoSheet = QStringLiteral("Not find the string sheet in the excel file!");
const QString EmptySheet = QStringLiteral("Empty file or the format of file is error!");
const QString NoFile = QStringLiteral("The source file does not exist!");

const QStringList Formats{QStringLiteral("xls"), QStringLiteral("xlsx"), QStringLiteral("csv")};

// The workbook `name` in a format; for .csv the file of the sheet `sheet` (which must exist) stands for it.
QString workbook(const QString &format, const QString &name, const QString &sheet)
{
    const QString dir = QStringLiteral(DOVERARIZ_TEST_DATA "/workbooks/");
    if (format == u"csv")
        return dir + QStringLiteral("csv/") + name + u'/' + sheet + QStringLiteral(".csv");
    return dir + name + u'.' + format;
}

QString set(const QString &a, const QString &b, const QString &c, const QString &d)
{
    return QStringList{a, b, c, d}.join(u' ');
}

QString same(const QString &imei)
{
    return set(imei, imei, imei, imei);
}

QString imeiLine(int row)
{
    return QStringLiteral("The imei of %1th line in excel file is repeated with previous!").arg(row);
}

QString invalidLine(int row)
{
    return QStringLiteral("The imei of %1th line in excel file is invalid!").arg(row);
}

QString lengthLine(int row, const QString &digits)
{
    return QStringLiteral("The imei of %1th line in excel file is invalid: %2 has %3 digits, an IMEI 15 (or 14 "
                          "before its check digit)")
        .arg(row)
        .arg(digits)
        .arg(digits.size());
}

QString numberLine(int row, const QString &digits)
{
    return QStringLiteral("The imei of %1th line in excel file is invalid: the number %2 is not 15 digits (the "
                          "number formats of .xls workbooks are not read: store IMEIs there as text)")
        .arg(row)
        .arg(digits);
}

QString serialLine(int row, const QString &why)
{
    return QStringLiteral("The %1th MBSN in excel file is invalid: %2").arg(row).arg(why);
}

class RecordingFrontEnd final : public IdentityFrontEnd
{
public:
    RecordingFrontEnd() { m_log.open(QIODevice::WriteOnly); }

    void logLine(const QString &text, LineColour colour) override
    {
        lines.append(text);
        colours.append(colour);
    }
    void clearLog() override { lines.clear(); }
    void criticalBox(const QString &text) override { boxes.append(QStringLiteral("critical: ") + text); }
    void warningBox(const QString &text) override { boxes.append(QStringLiteral("warning: ") + text); }
    QString fieldText(IdentityField) const override { return QString(); }
    void setFieldText(IdentityField, const QString &) override {}
    void focusField(IdentityField, bool) override {}
    void setStatusState(int) override {}
    void endCycle() override {}
    QIODevice *adjustmentLog() const override { return const_cast<QBuffer *>(&m_log); }

    QString logged() const { return QString::fromLocal8Bit(m_log.data()); }

    QStringList lines;
    QVector<LineColour> colours;
    QStringList boxes;

private:
    QBuffer m_log;
};

class SetIssued final : public IssuedIdentities
{
public:
    explicit SetIssued(const QStringList &values) : m_values(values.begin(), values.end()) {}
    bool isIssued(int, const QString &value) const override { return m_values.contains(value); }

private:
    QSet<QString> m_values;
};

QStringList poolSets(const ImeiPool &pool)
{
    QStringList sets;
    for (int k = 0; k < pool.total; ++k)
        sets.append(set(pool.lists[0][k], pool.lists[1][k], pool.lists[2][k], pool.lists[3][k]));
    return sets;
}

QString textOfCell(WorkbookReader &reader, const QString &name)
{
    QString text;
    if (!reader.cellText(name, text))
        return QStringLiteral("<read error>");
    return text;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

// A minimal .xlsx with the given sheet XML (sheet "IMEI", stored uncompressed); the sheet entry encrypted when a
// password is given.
bool writeXlsx(const QString &path, const QByteArray &sheetXml, const char *password = nullptr)
{
    static const char rels[] =
        "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
        "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
    static const char workbookXml[] =
        "<?xml version=\"1.0\"?><workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
        "<sheet name=\"IMEI\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
    static const char workbookRels[] =
        "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
        "worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>";
    int error = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        return false;
    const auto add = [archive](const char *name, const char *data, size_t size) {
        zip_source_t *source = zip_source_buffer(archive, data, size, 0);
        const zip_int64_t index = zip_file_add(archive, name, source, ZIP_FL_OVERWRITE);
        if (index < 0)
            zip_source_free(source);
        return index;
    };
    bool ok = add("_rels/.rels", rels, sizeof rels - 1) >= 0 &&
              add("xl/workbook.xml", workbookXml, sizeof workbookXml - 1) >= 0 &&
              add("xl/_rels/workbook.xml.rels", workbookRels, sizeof workbookRels - 1) >= 0;
    const zip_int64_t sheet = add("xl/worksheets/sheet1.xml", sheetXml.constData(), size_t(sheetXml.size()));
    ok = ok && sheet >= 0 && zip_set_file_compression(archive, zip_uint64_t(sheet), ZIP_CM_STORE, 0) == 0;
    if (ok && password)
        ok = zip_file_set_encryption(archive, zip_uint64_t(sheet), ZIP_EM_AES_256, password) == 0;
    if (!ok) {
        zip_discard(archive);
        return false;
    }
    return zip_close(archive) == 0;
}

QByteArray sheetXml(const QByteArray &rows)
{
    return "<?xml version=\"1.0\"?><worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
           "<sheetData>" +
           rows + "</sheetData></worksheet>";
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestSheetImport final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { XlsWorkbookReader::setHelperProgram(QStringLiteral(XLSCELLS_EXE)); }
    void importImeis_data();
    void importImeis();
    void importSerials_data();
    void importSerials();
    void cellText_data();
    void cellText();
    void damagedWorkbook_data();
    void damagedWorkbook();
    void millionRowSheet_data();
    void millionRowSheet();
    void eventsPassDuringImport();
    void xlsWithoutItsHelper();
    void numberFormat_data();
    void numberFormat();

private:
    QTemporaryDir m_dir;
};

void TestSheetImport::importImeis_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("checkRepeats");
    QTest::addColumn<QStringList>("issued");
    QTest::addColumn<int>("maxCount");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QStringList>("sets");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("adjusted");

    const QStringList none;
    for (const QString &f : Formats) {
        const auto row = [&f](const char *name) -> QTestData & {
            return QTest::newRow(qPrintable(f + QStringLiteral(": ") + name));
        };
        const auto path = [&f](const char *name) { return workbook(f, QLatin1String(name), QStringLiteral("IMEI")); };

        row("data from row 3, repeat refused by its sheet row")
            << path("start_row3") << true << none << 1000 << true
            << QStringList{set(I0, I1, I0, I0), same(I2), set(I3, I4, I5, I6)} << QStringList{imeiLine(5)} << none
            << QString();
        // A folder named in scripts that no single code page holds: the path reaches the reader whole.
        const QString named =
            m_dir.filePath(QStringLiteral("工作簿 ไทย/") + f + u'/') + QFileInfo(path("start_row3")).fileName();
        QDir().mkpath(QFileInfo(named).absolutePath());
        QFile::copy(path("start_row3"), named);
        row("in a folder named in Chinese and Thai")
            << named << true << none << 1000 << true << QStringList{set(I0, I1, I0, I0), same(I2), set(I3, I4, I5, I6)}
            << QStringList{imeiLine(5)} << none << QString();
        row("repeats taken with the test off")
            << path("start_row3") << false << none << 1000 << true
            << QStringList{set(I0, I1, I0, I0), same(I2), same(I0), set(I3, I4, I5, I6)} << none << none << QString();
        row("maximum reached before a repeat")
            << path("start_row3") << true << none << 2 << true << QStringList{set(I0, I1, I0, I0), same(I2)} << none
            << none << QString();
        // The 14 digits are a number cell: in .xls its format, which may show other digits, is not read.
        row("14 digits completed, wrong check digit repaired and logged")
            << path("adjust") << true << none << 1000 << true
            << (f == u"xls" ? QStringList{same(I9)} : QStringList{same(I8), same(I9)})
            << (f == u"xls" ? QStringList{numberLine(1, I8.left(14))} : none) << none
            << QStringLiteral("IMEI 352099001761490 is adjusted to %1\n").arg(I9);
        row("repeat in column A refused")
            << path("repeats") << true << none << 1000 << true << QStringList{same(I0), same(I1), same(I2)}
            << QStringList{imeiLine(3)} << none << QString();
        row("repeat in column A taken with the test off")
            << path("repeats") << false << none << 1000 << true << QStringList{same(I0), same(I1), same(I0), same(I2)}
            << none << none << QString();
        row("issued before") << path("repeats") << true << QStringList{I1} << 1000 << true
                             << QStringList{same(I0), same(I2)} << QStringList{imeiLine(2), imeiLine(3)} << none
                             << QString();
        row("a refused row's first IMEIs stay in the list of values seen")
            << path("own_list") << true << none << 1000 << true << QStringList{same(I2), set(I3, I3, I4, I3)}
            << QStringList{imeiLine(1), imeiLine(2)} << none << QString();
        row("own list without the test") << path("own_list") << false << none << 1000 << true
                                         << QStringList{set(I0, I1, I0, I0), same(I1), same(I2), set(I3, I3, I4, I3)}
                                         << none << none << QString();
        row("cells that are not digits refused")
            << path("invalid") << false << none << 1000 << true << QStringList{same(I1), same(I2)}
            << QStringList{invalidLine(1), invalidLine(2)} << none << QString();
        const QString zeroLed = QStringLiteral("012345678901237");
        const QString digits16 = QStringLiteral("3520990017614160");
        row("cells in no IMEI's form refused by their rows")
            << path("forms") << false << none << 1000 << true
            << (f == u"xls" ? QStringList{same(I2)} : QStringList{same(zeroLed), same(I2)})
            << (f == u"xls" ? QStringList{numberLine(1, QStringLiteral("12345678901237")),
                                          numberLine(2, QStringLiteral("1234")),
                                          numberLine(3, QStringLiteral("3520990017614081")), lengthLine(4, digits16)}
                            : QStringList{lengthLine(2, QStringLiteral("1234")),
                                          lengthLine(3, QStringLiteral("3520990017614081")), lengthLine(4, digits16)})
            << none << QString();
        row("empty first rows") << path("empty") << false << none << 1000 << false << none << none
                                << QStringList{QStringLiteral("warning: ") + EmptySheet} << QString();
        row("no sheet IMEI") << workbook(f, QStringLiteral("serials"), QStringLiteral("MBSN")) << false << none << 1000
                             << false << none << none << QStringList{QStringLiteral("warning: ") + NoSheet}
                             << QString();
        row("no file") << workbook(f, QStringLiteral("absent"), QStringLiteral("IMEI")) << false << none << 1000
                       << false << none << none << QStringList{QStringLiteral("critical: ") + NoFile} << QString();
    }
}

void TestSheetImport::importImeis()
{
    QFETCH(QString, path);
    QFETCH(bool, checkRepeats);
    QFETCH(QStringList, issued);
    QFETCH(int, maxCount);

    ToolSettings settings;
    settings.ImeiFromFile = path;
    settings.ImeiCheckRepetitive = checkRepeats;
    RecordingFrontEnd frontEnd;
    const SetIssued history(issued);
    ImeiPool pool;

    QTEST(SheetImport::importImeisFromSheet(settings, frontEnd, history, maxCount, pool), "result");
    QTEST(poolSets(pool), "sets");
    QTEST(frontEnd.lines, "lines");
    for (LineColour colour : std::as_const(frontEnd.colours))
        QCOMPARE(colour, LineColour::Error);
    QTEST(frontEnd.boxes, "boxes");
    QTEST(frontEnd.logged(), "adjusted");
}

void TestSheetImport::importSerials_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("checkRepeats");
    QTest::addColumn<QStringList>("issued");
    QTest::addColumn<int>("maxCount");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("boxes");

    const QStringList none;
    const QString shortMbsn = QStringLiteral("The length of the 3th MBSN in excel file is invalid!");
    for (const QString &f : Formats) {
        const auto row = [&f](const char *name) -> QTestData & {
            return QTest::newRow(qPrintable(f + QStringLiteral(": ") + name));
        };
        const QString mbsn = workbook(f, QStringLiteral("serials"), QStringLiteral("MBSN"));

        row("short MBSN and a repeat refused")
            << mbsn << int(HistoryMbsn) << true << none << 1000 << true << QStringList{M0, M1, M3, M4}
            << QStringList{shortMbsn, QStringLiteral("The 5th MBSN in excel file is repeated with previous!")} << none;
        row("repeat taken with the test off") << mbsn << int(HistoryMbsn) << false << none << 1000 << true
                                              << QStringList{M0, M1, M3, M0, M4} << QStringList{shortMbsn} << none;
        row("two of five") << mbsn << int(HistoryMbsn) << true << none << 2 << true << QStringList{M0, M1} << none
                           << none;
        row("MBSN issued before")
            << mbsn << int(HistoryMbsn) << true << QStringList{M1} << 1000 << true << QStringList{M0, M3, M4}
            << QStringList{QStringLiteral("The 2th MBSN in excel file is repeated with previous!"), shortMbsn,
                           QStringLiteral("The 5th MBSN in excel file is repeated with previous!")}
            << none;
        row("no sheet PSN") << mbsn << int(HistoryPsn) << true << none << 1000 << false << none << none
                            << QStringList{QStringLiteral("warning: ") + NoSheet};
        const QString forms = workbook(f, QStringLiteral("forms"), QStringLiteral("MBSN"));
        const QStringList refusedForms{
            serialLine(2, QStringLiteral("a serial number cannot hold \"#\": \"SN#12345\"")),
            serialLine(3, QStringLiteral("a serial number holds visible ASCII characters only, without blanks: "
                                         "\"SN 12345\"")),
            serialLine(4, QStringLiteral("a serial number holds visible ASCII characters only, without blanks: "
                                         "\"SN1\n2345\""))};
        row("serials as shown, or refused by their rows")
            << forms << int(HistoryMbsn) << false << none << 1000 << true
            << (f == u"xls" ? QStringList{QStringLiteral("SN000042")}
                            : QStringList{QStringLiteral("SN123456"), QStringLiteral("SN000042")})
            << (f == u"xls"
                    ? QStringList{QStringLiteral("The length of the 1th MBSN in excel file is invalid!")} + refusedForms
                    : refusedForms)
            << none;
        row("PSN issued before") << workbook(f, QStringLiteral("psn"), QStringLiteral("PSN")) << int(HistoryPsn) << true
                                 << QStringList{QStringLiteral("PS000000000000000000")} << 1000 << true
                                 << QStringList{P1, P2}
                                 << QStringList{QStringLiteral("The 1th PSN in excel file is repeated with previous!")}
                                 << none;
    }
}

void TestSheetImport::importSerials()
{
    QFETCH(QString, path);
    QFETCH(int, kind);
    QFETCH(bool, checkRepeats);
    QFETCH(QStringList, issued);
    QFETCH(int, maxCount);

    ToolSettings settings;
    settings.MbsnFromFile = settings.PsnFromFile = path;
    settings.MbsnCheckRepetitive = settings.PsnCheckRepetitive = checkRepeats;
    settings.Mbsnlen = path.contains(QLatin1String("forms")) ? 8 : 17; // the serials of "forms" are shorter
    settings.Psnlen = 20;
    RecordingFrontEnd frontEnd;
    const SetIssued history(issued);
    IdentityPool pool;

    QTEST(SheetImport::importSerialsFromSheet(settings, frontEnd, history, maxCount, pool, kind), "result");
    QTEST(pool.values.mid(0, pool.total), "values");
    QTEST(frontEnd.lines, "lines");
    QTEST(frontEnd.boxes, "boxes");
}

void TestSheetImport::cellText_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("text");

    struct Cell
    {
        const char *name;
        const char *xls;
        const char *xlsx;
        const char *csv;
    };
    // FreeXL gives no format codes: .xls numbers show digits or up to 15 significant digits.
    const Cell cells[] = {
        {"A1", "352099001761408", "352099001761408", "352099001761408"}, // a 15-digit number in the general format
        {"B1", "00123", "00123", "00123"},
        {"C1", "1.5", "1.5", "1.5"},
        {"D1", "2024-03-01", "2024-03-01", "2024-03-01"},
        {"A2", "12345678901237", "012345678901237", "12345678901237"},
        {"B2", "3.14159", "3.14", "3.14159"},
        {"C2", "0.25", "25%", "0.25"},
        {"D2", "1", "TRUE", "TRUE"}, // FreeXL gives a boolean as its number
        {"A3", "-42", "-42", "-42"},
        {"B3", "1234567.891", "1,234,567.89", "1234567.891"},
        {"C3", "2024-03-01 13:45:30", "2024-03-01 13:45:30", "2024-03-01 13:45:30"},
        {"D3", "text, with \"quotes\"", "text, with \"quotes\"", "text, with \"quotes\""},
        {"E1", "", "", ""},
        {"A4", "", "", ""},
        {"A1048576", "", "", ""},
    };
    for (const Cell &c : cells) {
        QTest::addRow("xls %s", c.name) << QStringLiteral("xls") << c.name << c.xls;
        QTest::addRow("xlsx %s", c.name) << QStringLiteral("xlsx") << c.name << c.xlsx;
        QTest::addRow("csv %s", c.name) << QStringLiteral("csv") << c.name << c.csv;
    }
}

void TestSheetImport::cellText()
{
    QFETCH(QString, format);
    QFETCH(QString, cell);
    const std::unique_ptr<WorkbookReader> reader =
        WorkbookReader::open(workbook(format, QStringLiteral("cells"), QStringLiteral("Cells")));
    QVERIFY(reader);
    QCOMPARE(reader->selectSheet(QStringLiteral("cells")), WorkbookReader::SheetStatus::Found);
    QTEST(textOfCell(*reader, cell), "text");
    // Rows are read forward; going back to the first row reads it again.
    QCOMPARE(textOfCell(*reader, QStringLiteral("A1")), I0);
}

void TestSheetImport::damagedWorkbook_data()
{
    QTest::addColumn<QString>("path");
    QVERIFY(m_dir.isValid());
    const auto file = [this](const char *name, const QByteArray &bytes) {
        const QString path = m_dir.filePath(QLatin1String(name));
        return writeFile(path, bytes) ? path : QString();
    };
    const QString data = QStringLiteral(DOVERARIZ_TEST_DATA "/workbooks/");
    const QByteArray xls = readAll(data + QStringLiteral("start_row3.xls"));
    const QByteArray xlsx = readAll(data + QStringLiteral("start_row3.xlsx"));
    QVERIFY(!xls.isEmpty() && !xlsx.isEmpty());

    QTest::newRow("xls cut in half") << file("half.xls", xls.left(xls.size() / 2));
    QTest::newRow("xls header only") << file("header.xls", xls.left(512));
    QByteArray scrambled = xls;
    for (qsizetype i = 512; i < scrambled.size(); i += 7)
        scrambled[i] = char(scrambled.at(i) ^ 0x5A);
    QTest::newRow("xls scrambled") << file("scrambled.xls", scrambled);
    QTest::newRow("xlsx cut in half") << file("half.xlsx", xlsx.left(xlsx.size() / 2));
    QTest::newRow("xlsx without its end") << file("noend.xlsx", xlsx.left(xlsx.size() - 30));

    const QString encrypted = m_dir.filePath(QStringLiteral("encrypted.xlsx"));
    QVERIFY(writeXlsx(encrypted, sheetXml("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>1</t></is></c></row>"),
                      "secret"));
    QTest::newRow("xlsx sheet encrypted") << encrypted;
    const QString badXml = m_dir.filePath(QStringLiteral("badxml.xlsx"));
    QVERIFY(writeXlsx(badXml, sheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row><row r=\"2\"><c r=\"A2\"><v>2")));
    QTest::newRow("xlsx sheet cut short") << badXml;
    const QString longCell = m_dir.filePath(QStringLiteral("longcell.xlsx"));
    QVERIFY(writeXlsx(longCell, sheetXml("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>" + QByteArray(40000, '7') +
                                         "</t></is></c></row>")));
    QTest::newRow("xlsx cell over 32767 characters") << longCell;
    const QString backwards = m_dir.filePath(QStringLiteral("backwards.xlsx"));
    QVERIFY(writeXlsx(backwards, sheetXml("<row r=\"2\"><c r=\"A2\"><v>5</v></c></row><row r=\"1\"><c "
                                          "r=\"A1\"><v>1</v></c></row>")));
    QTest::newRow("xlsx rows out of order") << backwards;
    const QString badString = m_dir.filePath(QStringLiteral("badstring.xlsx"));
    QVERIFY(writeXlsx(badString, sheetXml("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>7</v></c></row>")));
    QTest::newRow("xlsx shared string out of range") << badString;

    QTest::newRow("csv with NUL") << file("zero/IMEI.csv", QByteArray("352099001761408\n\0\n", 18));
    QTest::newRow("csv not UTF-8") << file("latin/IMEI.csv", "352099001761408\n\xE9t\xE9\n");
    QTest::newRow("csv quote left open") << file("open/IMEI.csv", "\"352099001761408\n352099001761416\n");
    QTest::newRow("csv row over 1 MiB") << file("wide/IMEI.csv", QByteArray(2 << 20, ',') + '\n');
    QTest::newRow("xls that makes FreeXL read past its buffer") << data + QStringLiteral("damaged/overread.xls");
    QTest::newRow("random bytes") << file("random.xls", QByteArray::fromHex("d0cf11e0a1b11ae1") + QByteArray(600, 'x'));
}

void TestSheetImport::damagedWorkbook()
{
    QFETCH(QString, path);
    QVERIFY(!path.isEmpty());
    ToolSettings settings;
    settings.ImeiFromFile = path;
    RecordingFrontEnd frontEnd;
    const SetIssued history({});
    ImeiPool pool;
    QVERIFY(!SheetImport::importImeisFromSheet(settings, frontEnd, history, ImeiPool::Capacity, pool));
    QCOMPARE(frontEnd.boxes, QStringList{QStringLiteral("warning: ") + ReadError});
}

void TestSheetImport::millionRowSheet_data()
{
    QTest::addColumn<QString>("path");
    QVERIFY(m_dir.isValid());
    constexpr int Rows = 1000001;
    QByteArray csv;
    QByteArray xml;
    csv.reserve(Rows * 16);
    xml.reserve(Rows * 40);
    for (int r = 1; r <= Rows; ++r) {
        const QByteArray body = QByteArray::number(35209900000000LL + r);
        csv += body + '\n';
        xml += "<row><c><v>" + body + "</v></c></row>";
    }
    const QString csvPath = m_dir.filePath(QStringLiteral("million/IMEI.csv"));
    QVERIFY(writeFile(csvPath, csv));
    QTest::newRow("csv") << csvPath;
    const QString xlsxPath = m_dir.filePath(QStringLiteral("million.xlsx"));
    QVERIFY(writeXlsx(xlsxPath, sheetXml(xml)));
    QTest::newRow("xlsx") << xlsxPath;
}

void TestSheetImport::millionRowSheet()
{
    QFETCH(QString, path);
    ToolSettings settings;
    settings.ImeiFromFile = path;
    settings.ImeiCheckRepetitive = true;
    RecordingFrontEnd frontEnd;
    const SetIssued history({});
    ImeiPool pool;
    QVERIFY(SheetImport::importImeisFromSheet(settings, frontEnd, history, ImeiPool::Capacity, pool));
    QCOMPARE(pool.total, ImeiPool::Capacity);
    QCOMPARE(pool.lists[0][ImeiPool::Capacity - 1].left(14), QStringLiteral("35209900010000"));
    QVERIFY(frontEnd.boxes.isEmpty());
}

void TestSheetImport::eventsPassDuringImport()
{
    bool delivered = false;
    QMetaObject::invokeMethod(
        this, [&delivered] { delivered = true; }, Qt::QueuedConnection);
    ToolSettings settings;
    settings.ImeiFromFile = workbook(QStringLiteral("csv"), QStringLiteral("repeats"), QStringLiteral("IMEI"));
    RecordingFrontEnd frontEnd;
    const SetIssued history({});
    ImeiPool pool;
    QVERIFY(SheetImport::importImeisFromSheet(settings, frontEnd, history, 1000, pool));
    QVERIFY(delivered);
}

void TestSheetImport::xlsWithoutItsHelper()
{
    XlsWorkbookReader::setHelperProgram(m_dir.filePath(QStringLiteral("no-such-helper")));
    ToolSettings settings;
    settings.ImeiFromFile = workbook(QStringLiteral("xls"), QStringLiteral("repeats"), QStringLiteral("IMEI"));
    RecordingFrontEnd frontEnd;
    const SetIssued history({});
    ImeiPool pool;
    const bool imported = SheetImport::importImeisFromSheet(settings, frontEnd, history, 1000, pool);
    XlsWorkbookReader::setHelperProgram(QStringLiteral(XLSCELLS_EXE));
    QVERIFY(!imported);
    QCOMPARE(frontEnd.boxes, QStringList{QStringLiteral("warning: ") + ReadError});
}

void TestSheetImport::numberFormat_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("date1904");
    QTest::addColumn<QString>("text");

    QTest::newRow("general fraction") << 0.5 << "General" << false << "0.5";
    QTest::newRow("general IMEI") << 352099001761408.0 << "General" << false << "352099001761408";
    QTest::newRow("general huge integer") << 1e20 << "General" << false << "100000000000000000000";
    QTest::newRow("general 15 digits") << 1.23456789012345678 << "General" << false << "1.23456789012346";
    QTest::newRow("general tiny") << 1e-10 << "General" << false << "1E-10";
    QTest::newRow("two decimals") << 3.14159 << "0.00" << false << "3.14";
    QTest::newRow("integral under decimals") << 42.0 << "0.00" << false << "42";
    QTest::newRow("leading zeros kept") << 12345678901237.0 << "000000000000000" << false << "012345678901237";
    QTest::newRow("grouping") << 1234567.891 << "#,##0.00" << false << "1,234,567.89";
    QTest::newRow("negative section") << -1234.5 << "#,##0.00;(#,##0.00)" << false << "(1,234.50)";
    QTest::newRow("minus sign") << -0.75 << "0.00" << false << "-0.75";
    QTest::newRow("percent") << 0.256 << "0.0%" << false << "25.6%";
    QTest::newRow("integral percent") << 1.0 << "0%" << false << "100%";
    QTest::newRow("exponent") << 12345.678 << "0.00E+00" << false << "1.23E+04";
    QTest::newRow("literal text") << 3.5 << "\"kg \"0.0" << false << "kg 3.5";
    QTest::newRow("colour ignored") << 2.25 << "[Red]0.0" << false << "2.3";
    QTest::newRow("date") << 45352.0 << "yyyy-mm-dd" << false << "2024-03-01";
    QTest::newRow("date 1904") << 43000.0 << "yyyy-mm-dd" << true << "2021-09-23";
    QTest::newRow("date and minutes") << 45352.5729166667 << "yyyy-mm-dd hh:mm" << false << "2024-03-01 13:45";
    QTest::newRow("month names") << 45352.0 << "dddd, mmmm d" << false << "Friday, March 1";
    QTest::newRow("short year") << 45352.0 << "d-mmm-yy" << false << "1-Mar-24";
    QTest::newRow("twelve hours") << 0.75 << "h:mm AM/PM" << false << "6:00 PM";
    QTest::newRow("minutes before seconds") << 0.0625 << "mm:ss" << false << "30:00";
    QTest::newRow("elapsed hours") << 1.5 << "[h]:mm" << false << "36:00";
    QTest::newRow("date out of range") << -1.5 << "yyyy-mm-dd" << false << "-1.5";
    QTest::newRow("literal text before a whole number") << 123456.0 << "\"SN\"000000" << false << "SN123456";
    QTest::newRow("grouped whole number") << 1234567.0 << "#,##0" << false << "1,234,567";
    QTest::newRow("text between digit places") << 123456.0 << "000-000" << false << "123-456";
    QTest::newRow("literal text and General") << 42.0 << "\"No. \"General" << false << "No. 42";
    QTest::newRow("built-in date") << 45352.0 << qPrintable(CellNumberFormat::builtinCode(14)) << false << "2024-03-01";
}

void TestSheetImport::numberFormat()
{
    QFETCH(double, value);
    QFETCH(QString, code);
    QFETCH(bool, date1904);
    QTEST(CellNumberFormat::display(value, code, date1904), "text");
}

QTEST_GUILESS_MAIN(TestSheetImport)
#include "TestSheetImport.moc"

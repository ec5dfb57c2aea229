#include "config/AppPaths.h"
#include "config/Clock.h"
#include "config/ToolSettings.h"
#include "history/HistoryAppends.h"
#include "history/HistoryFiles.h"
#include "history/HistoryLineReader.h"
#include "history/HistoryList.h"
#include "history/ImeiHistory.h"
#include "history/StationHistories.h"

#include "support/FileKinds.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <memory>

using Records = QList<QPair<QString, QString>>;
Q_DECLARE_METATYPE(Records)

namespace {

// What the platform's text mode writes for a line end.
QByteArray textLineEnd()
{
#ifdef Q_OS_WIN
    return QByteArrayLiteral("\r\n");
#else
    return QByteArrayLiteral("\n");
#endif
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return file.readAll();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

Records recordsOf(const ImeiHistory &history)
{
    Records records;
    for (qsizetype i = 0; i < history.size(); ++i) {
        const ImeiHistoryRecord r = history.at(i);
        records.append({r.dateTime, r.imeis});
    }
    return records;
}

QStringList valuesOf(const HistoryList &list)
{
    QStringList values;
    for (qsizetype i = 0; i < list.size(); ++i)
        values << list.at(i);
    return values;
}

QString luhnImei(quint64 body)
{
    const QString text = QString::number(body).rightJustified(14, u'0');
    int sum = 0;
    for (int i = 0; i < 14; ++i) {
        int d = text.at(i).digitValue() * (i % 2 == 1 ? 2 : 1);
        sum += d > 9 ? d - 9 : d;
    }
    return text + QChar(u'0' + (10 - sum % 10) % 10);
}

// Resident memory of the process in bytes; -1 where unknown.
qint64 residentBytes()
{
    QFile file(QStringLiteral("/proc/self/statm"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = file.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * 4096 : -1;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool AddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool AddressSanitizer = true;
#else
constexpr bool AddressSanitizer = false;
#endif
#else
constexpr bool AddressSanitizer = false;
#endif

// The oracle of duplicate detection: the literal scan over every record's IMEI text.
bool literalScan(const QStringList &texts, const QString &candidate)
{
    for (const QString &t : texts) {
        if (t.contains(candidate))
            return true;
    }
    return false;
}

// A history file whose reads fail from byte `failAt` on, as a disk that gives EIO there.
class FailDevice final : public QIODevice
{
public:
    FailDevice(QFile &file, qint64 failAt) : m_file(file), m_failAt(failAt) { open(ReadOnly | Unbuffered); }
    qint64 size() const override { return m_file.size(); }
    bool seek(qint64 pos) override { return QIODevice::seek(pos) && m_file.seek(pos); }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 at = m_file.pos();
        if (at >= m_failAt) {
            setErrorString(QStringLiteral("Input/output error"));
            return -1;
        }
        return m_file.read(data, qMin(maxSize, m_failAt - at));
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QFile &m_file;
    qint64 m_failAt;
};

} // namespace

class TestHistoryFiles final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void loadCreatesDirectoryAndFirstLines();
    void loadKeepsExistingFiles();
    void readImeiHistory_data();
    void readImeiHistory();
    void readHistoryList_data();
    void readHistoryList();
    void lineReaderAcrossChunks_data();
    void lineReaderAcrossChunks();
    void malformedFilesLoadBounded_data();
    void malformedFilesLoadBounded();
    void appendHistoryLineBytes_data();
    void appendHistoryLineBytes();
    void appendFailures_data();
    void appendFailures();
    void recordImeiHistory_data();
    void recordImeiHistory();
    void recordReadsSameAfterAppend_data();
    void recordReadsSameAfterAppend();
    void recordHistoryKinds_data();
    void recordHistoryKinds();
    void batchedRecords_data();
    void batchedRecords();
    void failedRecordStillExtendsMemory();
    void recordsSurviveRestart();
    void trailingBlankIsAnotherValue();
    void lineWithoutTabMatchesSubstring();

    void indexedLookupEqualsLiteralScan_data();
    void indexedLookupEqualsLiteralScan();
    void lookupAfterAppendsAndRebuilds();
    void bigFileLoadsInOrder_data();
    void bigFileLoadsInOrder();
    void historyListMembership();
    void historyListLoads_data();
    void historyListLoads();
    void memoryFollowsFileSize_data();
    void memoryFollowsFileSize();
    void lookupsWhileAppending_data();
    void lookupsWhileAppending();
    void refusedHistoryFiles_data();
    void refusedHistoryFiles();
    void partialReadRefusesWrites_data();
    void partialReadRefusesWrites();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString cfgPath(const QString &name) const { return m_dir->filePath(QStringLiteral("cfg/") + name); }
};

void TestHistoryFiles::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    AppPaths::setAppDirForTesting(m_dir->path());
    Clock::setNowFunctionForTesting([] { return QDateTime(QDate(2024, 3, 5), QTime(19, 8, 9)); });
}

void TestHistoryFiles::cleanup()
{
    setHistoryReadDeviceForTesting({});
    Clock::setNowFunctionForTesting({});
    AppPaths::setAppDirForTesting(QString());
    m_dir.reset();
}

void TestHistoryFiles::loadCreatesDirectoryAndFirstLines()
{
    StationHistories histories;
    histories.imeiHistory.append(QStringLiteral("x"), QStringLiteral("y"));
    histories.mbsnHistory.append(QStringLiteral("stale"));
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("cfg"))));
    loadHistories(histories);

    QVERIFY(QFileInfo(m_dir->filePath(QStringLiteral("cfg"))).isDir());
    QCOMPARE(readBytes(cfgPath("imei_history.data")), "#Date and time\t\t\tHistory IMEI" + textLineEnd());
    QCOMPARE(readBytes(cfgPath("mbsn_history.data")), "#History MBSN" + textLineEnd());
    QCOMPARE(readBytes(cfgPath("psn_history.data")), "#History PSN" + textLineEnd());
    QCOMPARE(readBytes(cfgPath("bt_history.data")), "#History Blue Tooth" + textLineEnd());
    QCOMPARE(histories.imeiHistory.size(), 0);
    QCOMPARE(histories.mbsnHistory.size(), 0);
    QCOMPARE(histories.psnHistory.size(), 0);
    QCOMPARE(histories.btHistory.size(), 0);
    QCOMPARE(historyFilePath(RunImei), cfgPath("imei_history.data"));
    QCOMPARE(historyFilePath(HistoryBt), cfgPath("bt_history.data"));
    QCOMPARE(historyFilePath(16), QString());
}

void TestHistoryFiles::loadKeepsExistingFiles()
{
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("cfg")));
    const QByteArray imei = "#Date and time\t\t\tHistory IMEI\n2024-01-02 03:04:05\t\t356938035643809\n";
    QVERIFY(writeBytes(cfgPath("imei_history.data"), imei));
    QVERIFY(writeBytes(cfgPath("psn_history.data"), "#History PSN\nP1\nP2\n"));
    StationHistories histories;
    loadHistories(histories);
    QCOMPARE(readBytes(cfgPath("imei_history.data")), imei);
    QCOMPARE(recordsOf(histories.imeiHistory), (Records{{"2024-01-02 03:04:05", "356938035643809"}}));
    QCOMPARE(valuesOf(histories.psnHistory), (QStringList{"P1", "P2"}));
    QCOMPARE(readBytes(cfgPath("mbsn_history.data")), "#History MBSN" + textLineEnd());
}

void TestHistoryFiles::readImeiHistory_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<Records>("expected");

    const QString date = QStringLiteral("2024-01-02 03:04:05");
    const QString four = QStringLiteral("356938035643809,490154203237518,352099001761481,100000000000009");
    const QByteArray long4096 = QByteArray(4096, 'x');
    QTest::newRow("regular records")
        << QByteArray("#Date and time\t\t\tHistory IMEI\n2024-01-02 03:04:05\t\t356938035643809,490154203237518,"
                      "352099001761481,100000000000009\n2024-01-02 03:04:05\t\t356938035643809\n")
        << Records{{date, four}, {date, "356938035643809"}};
    QTest::newRow("CRLF line ends") << QByteArray("#h\r\n2024-01-02 03:04:05\t\t356938035643809\r\nabc\r\n")
                                    << Records{{date, "356938035643809"}, {"abc", "abc"}};
    QTest::newRow("last line without line end") << QByteArray("a\tb") << Records{{"a", "b"}};
    QTest::newRow("no tab: whole line for both")
        << QByteArray("356938035643809 by hand\n") << Records{{"356938035643809 by hand", "356938035643809 by hand"}};
    QTest::newRow("empty line: two empty texts") << QByteArray("\n\r\n") << Records{{"", ""}, {"", ""}};
    QTest::newRow("first tab and last tab") << QByteArray("d\tmiddle\t\tlast\n") << Records{{"d", "last"}};
    QTest::newRow("three tabs") << QByteArray("2024-01-02 03:04:05\t\t\t356938035643809\n")
                                << Records{{date, "356938035643809"}};
    QTest::newRow("one tab") << QByteArray("2024-01-02 03:04:05\t356938035643809\n")
                             << Records{{date, "356938035643809"}};
    QTest::newRow("tab at the end") << QByteArray("d\t\n") << Records{{"d", ""}};
    QTest::newRow("comment anywhere, records with # included")
        << QByteArray("x#y\n2024-01-02 03:04:05\t\t35693803564#809\n  #\nkept\n") << Records{{"kept", "kept"}};
    QTest::newRow("partial IMEIs and odd separators")
        << QByteArray("2024-01-02 03:04:05\t\t3569380356,\n2024-01-02 03:04:05\t\t356938035643809,\n")
        << Records{{date, "3569380356,"}, {date, "356938035643809,"}};
    // The bytes either side of the digits ('/' and ':'), a high byte and a NUL, each in another place of an IMEI.
    QTest::newRow("bytes next to the digits inside IMEIs")
        << QByteArray("2024-01-02 03:04:05\t\t/56938035643809\n2024-01-02 03:04:05\t\t35693803564380:\n"
                      "2024-01-02 03:04:05\t\t3569380\xb9"
                      "35643809\n2024-01-02 03:04:05\t\t356938035643809,4901542") +
               QByteArray(1, '\0') + QByteArray("3237518\n")
        << Records{{date, "/56938035643809"},
                   {date, "35693803564380:"},
                   {date, QString::fromLocal8Bit("3569380\xb9"
                                                 "35643809")},
                   {date, QString::fromLocal8Bit(QByteArray("356938035643809,4901542") + QByteArray(1, '\0') +
                                                 QByteArray("3237518"))}};
    QTest::newRow("date not in the usual form") << QByteArray("2024/01/02 03:04:05\t\t356938035643809\n")
                                                << Records{{"2024/01/02 03:04:05", "356938035643809"}};
    QTest::newRow("NUL and binary bytes")
        << QByteArray("a\0b\tc\xff\x01\n", 8)
        << Records{{QString::fromLocal8Bit(QByteArray("a\0b", 3)), QString::fromLocal8Bit(QByteArray("c\xff\x01", 3))}};
    QTest::newRow("line of 4096 bytes is kept") << long4096 + "\nz\n"
                                                << Records{{QString(long4096), QString(long4096)}, {"z", "z"}};
    QTest::newRow("line over 4096 bytes is skipped") << long4096 + "y\nz\n" << Records{{"z", "z"}};
    QTest::newRow("over-long last line is skipped") << "z\n" + long4096 + "yy" << Records{{"z", "z"}};
    QTest::newRow("carriage return not counted in the length")
        << long4096 + "\r\nz" << Records{{QString(long4096), QString(long4096)}, {"z", "z"}};
}

void TestHistoryFiles::readImeiHistory()
{
    QFETCH(QByteArray, content);
    QFETCH(Records, expected);
    const QString path = m_dir->filePath(QStringLiteral("imei.data"));
    QVERIFY(writeBytes(path, content));
    ImeiHistory history;
    history.append(QStringLiteral("old"), QStringLiteral("old"));
    QVERIFY(::readImeiHistory(path, history));
    QCOMPARE(recordsOf(history), expected);
    QCOMPARE(readBytes(path), content); // reading never changes the file
}

void TestHistoryFiles::readHistoryList_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("kind");

    // Bluetooth addresses of older versions may be in upper case; the tool compares them in lower case only.
    QTest::newRow("Bluetooth addresses in lower case")
        << QByteArray("#History Blue Tooth\n0A1B2C3D4E5F\nab12CD34ef56\r\n")
        << QStringList{"0a1b2c3d4e5f", "ab12cd34ef56"} << int(HistoryBt);
    QTest::newRow("serial numbers keep their case")
        << QByteArray("MB0A\nmb0a\n") << QStringList{"MB0A", "mb0a"} << int(HistoryMbsn);
    QTest::newRow("values in order") << QByteArray("#History MBSN\nA1\nB2\n") << QStringList{"A1", "B2"} << 0;
    QTest::newRow("empty lines skipped") << QByteArray("\nA\n\r\n\nB") << QStringList{"A", "B"} << 0;
    QTest::newRow("comments anywhere skipped") << QByteArray("A#\n#B\nC\n") << QStringList{"C"} << 0;
    QTest::newRow("no trimming") << QByteArray(" A \n\tB\n") << QStringList{" A ", "\tB"} << 0;
    QTest::newRow("CRLF stripped") << QByteArray("A\r\nB\r\n") << QStringList{"A", "B"} << 0;
    QTest::newRow("lone carriage return kept inside") << QByteArray("A\rB\n") << QStringList{"A\rB"} << 0;
    QTest::newRow("over-long line skipped") << QByteArray(5000, 'q') + "\nA\n" << QStringList{"A"} << 0;
}

void TestHistoryFiles::readHistoryList()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, expected);
    QFETCH(int, kind);
    const QString path = m_dir->filePath(QStringLiteral("list.data"));
    QVERIFY(writeBytes(path, content));
    HistoryList list;
    list.append(QStringLiteral("old"));
    QVERIFY(::readHistoryList(path, list, kind == 0 ? int(HistoryMbsn) : kind));
    QCOMPARE(valuesOf(list), expected);
    QVERIFY(!list.contains(QStringLiteral("old")));
    for (const QString &v : expected)
        QVERIFY(list.contains(v));
}

void TestHistoryFiles::lineReaderAcrossChunks_data()
{
    QTest::addColumn<qsizetype>("offset"); // where the interesting bytes sit relative to the chunk end
    QTest::addColumn<QByteArray>("middle");
    QTest::addColumn<QList<QByteArray>>("expected");

    const QByteArray big(HistoryLineReader::MaxLineLength, 'b');
    QTest::newRow("line end right at the chunk end")
        << qsizetype(-1) << QByteArray("\nnext") << QList<QByteArray>{"next"};
    QTest::newRow("CR and LF split over two chunks")
        << qsizetype(-1) << QByteArray("\r\nnext") << QList<QByteArray>{"next"};
    QTest::newRow("line straddling the chunk end")
        << qsizetype(-10) << QByteArray("\nstraddling line\nnext") << QList<QByteArray>{"straddling line", "next"};
    QTest::newRow("longest line straddling")
        << qsizetype(-100) << "\n" + big + "\r\nnext" << QList<QByteArray>{big, "next"};
    QTest::newRow("over-long line straddling")
        << qsizetype(-100) << "\n" + big + "x\nnext" << QList<QByteArray>{"next"};
}

void TestHistoryFiles::lineReaderAcrossChunks()
{
    QFETCH(qsizetype, offset);
    QFETCH(QByteArray, middle);
    QFETCH(QList<QByteArray>, expected);

    // A first line that fills the chunk up to the offset, made of short lines.
    QByteArray data;
    while (data.size() < HistoryLineReader::ChunkSize + offset - 40)
        data += "0123456789012345678901234567890\n";
    data += QByteArray(HistoryLineReader::ChunkSize + offset - data.size(), 'f');
    const qsizetype fillerLines = data.count('\n') + 1;
    data += middle;
    QBuffer buffer(&data);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    HistoryLineReader reader(buffer);
    QList<QByteArray> lines;
    QByteArrayView line;
    while (reader.next(line))
        lines << line.toByteArray();
    QVERIFY(lines.size() >= fillerLines - 1);
    QCOMPARE(lines.mid(fillerLines), expected);
    QCOMPARE(lines.at(fillerLines - 1).back(), 'f');
}

void TestHistoryFiles::malformedFilesLoadBounded_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("a quarter gigabyte of NUL bytes") << "nul";
    QTest::newRow("one line of 64 MiB") << "longline";
    QTest::newRow("random binary garbage") << "garbage";
}

// A damaged file loads without crashing and without keeping more than lines of bounded length; what
// follows the damage is still read.
void TestHistoryFiles::malformedFilesLoadBounded()
{
    QFETCH(QString, kind);
    const QString path = m_dir->filePath(QStringLiteral("damaged.data"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (kind == QLatin1String("nul")) {
            QVERIFY(file.resize(qint64(256) << 20)); // sparse: cheap to make, long to read
            QVERIFY(file.seek(file.size()));
        } else if (kind == QLatin1String("longline")) {
            const QByteArray block(1 << 20, '7');
            for (int i = 0; i < 64; ++i)
                QCOMPARE(file.write(block), block.size());
        } else {
            QRandomGenerator rng(99);
            QByteArray block(1 << 20, Qt::Uninitialized);
            for (int i = 0; i < 8; ++i) {
                for (char &c : block)
                    c = char(rng.bounded(256));
                QCOMPARE(file.write(block), block.size());
            }
        }
        const QByteArray tail = "\n2024-01-02 03:04:05\t\t356938035643809\n";
        QCOMPARE(file.write(tail), tail.size());
    }
    ImeiHistory history;
    QVERIFY(::readImeiHistory(path, history));
    QVERIFY(history.size() >= 1);
    const ImeiHistoryRecord last = history.at(history.size() - 1);
    QCOMPARE(last.imeis, QStringLiteral("356938035643809"));
    QVERIFY(history.contains(QStringLiteral("356938035643809")));
    QStringList texts;
    for (qsizetype i = 0; i < history.size(); ++i) {
        const ImeiHistoryRecord r = history.at(i);
        QVERIFY(r.imeis.size() <= HistoryLineReader::MaxLineLength);
        texts << r.imeis;
    }
    if (kind != QLatin1String("garbage"))
        QCOMPARE(history.size(), 1);
    // Irregular garbage is searched literally, and agrees with the scan.
    QRandomGenerator rng(5);
    for (int i = 0; i < 200; ++i) {
        const QString &t = texts.at(rng.bounded(int(texts.size())));
        const int from = t.isEmpty() ? 0 : rng.bounded(int(t.size()));
        const QString candidate = t.mid(from, 1 + rng.bounded(16));
        QCOMPARE(history.contains(candidate), literalScan(texts, candidate));
    }

    HistoryList list;
    QVERIFY(::readHistoryList(path, list, HistoryMbsn));
    QVERIFY(list.size() >= 1);
    QCOMPARE(list.at(list.size() - 1), QStringLiteral("2024-01-02 03:04:05\t\t356938035643809"));
}

void TestHistoryFiles::appendHistoryLineBytes_data()
{
    QTest::addColumn<QByteArray>("before"); // "<none>": no file
    QTest::addColumn<QString>("dateTime");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("withDate");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("with date") << QByteArray("#h\n") << "2024-03-05 19:08:09"
                               << "356938035643809" << true
                               << QByteArray("#h\n2024-03-05 19:08:09\t\t356938035643809\n");
    QTest::newRow("value alone") << QByteArray("#History MBSN\n") << "ignored"
                                 << "MB01" << false << QByteArray("#History MBSN\nMB01\n");
    QTest::newRow("missing file: no first line") << QByteArray("<none>") << ""
                                                 << "P1" << false << QByteArray("P1\n");
    QTest::newRow("empty file") << QByteArray() << ""
                                << "P1" << false << QByteArray("P1\n");
    QTest::newRow("last line cut short is ended first") << QByteArray("#h\nMB0") << ""
                                                        << "MB02" << false << QByteArray("#h\nMB0\nMB02\n");
    QTest::newRow("CRLF file stays as it was") << QByteArray("#h\r\n") << ""
                                               << "A" << false << QByteArray("#h\r\nA\n");
    QTest::newRow("empty value") << QByteArray("#h\n") << ""
                                 << "" << false << QByteArray("#h\n\n");
}

void TestHistoryFiles::appendHistoryLineBytes()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, dateTime);
    QFETCH(QString, value);
    QFETCH(bool, withDate);
    QFETCH(QByteArray, after);
    const QString path = m_dir->filePath(QStringLiteral("append.data"));
    if (before != "<none>")
        QVERIFY(writeBytes(path, before));
    QVERIFY(appendHistoryLine(path, dateTime, value, withDate));
    QCOMPARE(readBytes(path), after);
}

void TestHistoryFiles::appendFailures_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("value");
    QTest::newRow("the file is a directory") << "directory"
                                             << "A";
    QTest::newRow("the folder is a file") << "folder-is-file"
                                          << "A";
    QTest::newRow("the disk is full") << "full"
                                      << "A";
    QTest::newRow("read-only folder") << "read-only"
                                      << "A";
    QTest::newRow("line feed in the value") << "plain"
                                            << "A\nB";
    QTest::newRow("carriage return in the value") << "plain"
                                                  << "A\r";
}

void TestHistoryFiles::appendFailures()
{
    QFETCH(QString, setup);
    QFETCH(QString, value);
    QString path = m_dir->filePath(QStringLiteral("h.data"));
    if (setup == QLatin1String("directory")) {
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("h.data")));
    } else if (setup == QLatin1String("folder-is-file")) {
        QVERIFY(writeBytes(m_dir->filePath(QStringLiteral("cfg")), "x"));
        path = m_dir->filePath(QStringLiteral("cfg/h.data"));
    } else if (setup == QLatin1String("full")) {
        if (!QFileInfo::exists(QStringLiteral("/dev/full")))
            QSKIP("no /dev/full here");
        path = QStringLiteral("/dev/full");
    } else if (setup == QLatin1String("read-only")) {
        const QString folder = m_dir->filePath(QStringLiteral("ro"));
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("ro")));
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        path = folder + QStringLiteral("/h.data");
        QFile probe(path);
        if (probe.open(QIODevice::WriteOnly)) {
            probe.remove();
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QSKIP("permissions do not bind this user (root)");
        }
    } else {
        QVERIFY(writeBytes(path, "#h\n"));
    }
    QVERIFY(!appendHistoryLine(path, QString(), value, false));
    if (setup == QLatin1String("plain"))
        QCOMPARE(readBytes(path), QByteArray("#h\n"));
    if (setup == QLatin1String("read-only"))
        QFile::setPermissions(m_dir->filePath(QStringLiteral("ro")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestHistoryFiles::recordImeiHistory_data()
{
    QTest::addColumn<QStringList>("imeis");
    QTest::addColumn<int>("imeiNum");
    QTest::addColumn<QString>("text"); // empty: nothing recorded

    const QString a = QStringLiteral("356938035643809");
    const QString b = QStringLiteral("490154203237518");
    const QString c = QStringLiteral("352099001761481");
    const QString e = QStringLiteral("100000000000009");
    QTest::newRow("four different") << QStringList{a, b, c, e} << 4 << a + "," + b + "," + c + "," + e;
    QTest::newRow("two of four written") << QStringList{a, b, c, e} << 2 << a + "," + b;
    QTest::newRow("one written") << QStringList{a, b, c, e} << 1 << a;
    QTest::newRow("IMEI2 equal to IMEI1, the rest never written") << QStringList{a, a, c, e} << 2 << a;
    QTest::newRow("all equal") << QStringList{a, a, a, a} << 4 << a;
    QTest::newRow("only IMEI2 equal") << QStringList{a, a, c, e} << 4 << a + "," + c + "," + e;
    QTest::newRow("each compared with IMEI1 only") << QStringList{a, b, b, a} << 4 << a + "," + b + "," + b;
    QTest::newRow("fewer entries than written: those written") << QStringList{a, b, c} << 4 << a + "," + b + "," + c;
    QTest::newRow("no entries") << QStringList() << 2 << QString();
    QTest::newRow("no IMEI written") << QStringList{a, b, c, e} << 0 << QString();
    QTest::newRow("a fifth entry is ignored") << QStringList{a, b, c, e, "999"} << 5 << a + "," + b + "," + c + "," + e;
}

void TestHistoryFiles::recordImeiHistory()
{
    QFETCH(QStringList, imeis);
    QFETCH(int, imeiNum);
    QFETCH(QString, text);
    StationHistories histories;
    loadHistories(histories);
    const QByteArray header = readBytes(cfgPath("imei_history.data"));
    QVERIFY(::recordImeiHistory(histories, imeis, imeiNum));
    if (text.isEmpty()) {
        QCOMPARE(histories.imeiHistory.size(), 0);
        QCOMPARE(readBytes(cfgPath("imei_history.data")), header);
        return;
    }
    QCOMPARE(recordsOf(histories.imeiHistory), (Records{{"2024-03-05 19:08:09", text}}));
    QCOMPARE(readBytes(cfgPath("imei_history.data")), header + "2024-03-05 19:08:09\t\t" + text.toLatin1() + "\n");
    for (const QString &imei : imeis.mid(0, 4))
        QCOMPARE(imeiInHistory(imei, histories.imeiHistory), text.contains(imei));
}

void TestHistoryFiles::recordReadsSameAfterAppend_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("carriage return ending the file") << QByteArray("#h\nA\r");
    QTest::newRow("two carriage returns ending the file") << QByteArray("#h\nA\r\r");
    QTest::newRow("a lone carriage return as the last line") << QByteArray("#h\nA\n\r");
    QTest::newRow("carriage return inside the last line") << QByteArray("#h\nA\rB");
    QTest::newRow("IMEI record ending in a carriage return")
        << QByteArray("#h\n2024-01-02 03:04:05\t\t356938035643809\r");
}

// Records read before an append read the same after it, whatever the append had to complete.
void TestHistoryFiles::recordReadsSameAfterAppend()
{
    QFETCH(QByteArray, content);
    const QString path = m_dir->filePath(QStringLiteral("h.data"));
    QVERIFY(writeBytes(path, content));
    HistoryList list;
    ImeiHistory history;
    QVERIFY(::readHistoryList(path, list, HistoryMbsn));
    QVERIFY(::readImeiHistory(path, history));
    const QStringList values = valuesOf(list);
    const Records records = recordsOf(history);
    QVERIFY(appendHistoryLine(path, QString(), QStringLiteral("Z"), false));
    QVERIFY(::readHistoryList(path, list, HistoryMbsn));
    QVERIFY(::readImeiHistory(path, history));
    QCOMPARE(valuesOf(list), values + QStringList{"Z"});
    QCOMPARE(recordsOf(history), records + Records({{"Z", "Z"}}));
}

void TestHistoryFiles::recordHistoryKinds_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("file");
    QTest::newRow("MBSN") << int(HistoryMbsn) << "mbsn_history.data";
    QTest::newRow("PSN") << int(HistoryPsn) << "psn_history.data";
    QTest::newRow("BT") << int(HistoryBt) << "bt_history.data";
    QTest::newRow("IMEI bit is no single-value kind") << int(RunImei) << "";
    QTest::newRow("unknown kind") << 16 << "";
}

void TestHistoryFiles::recordHistoryKinds()
{
    QFETCH(int, kind);
    QFETCH(QString, file);
    StationHistories histories;
    loadHistories(histories);
    QMap<QString, QByteArray> before;
    for (const QString &name : QDir(m_dir->filePath(QStringLiteral("cfg"))).entryList(QDir::Files))
        before[name] = readBytes(cfgPath(name));

    QVERIFY(::recordHistory(histories, kind, QStringLiteral("V01")));
    const QStringList values{"V01"};
    QCOMPARE(valuesOf(histories.mbsnHistory), kind == HistoryMbsn ? values : QStringList());
    QCOMPARE(valuesOf(histories.psnHistory), kind == HistoryPsn ? values : QStringList());
    QCOMPARE(valuesOf(histories.btHistory), kind == HistoryBt ? values : QStringList());
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QCOMPARE(readBytes(cfgPath(it.key())), it.key() == file ? it.value() + "V01\n" : it.value());
}

// One cycle's records through a batch: each file gets its own record, cut-short lines ended first, and a file that
// cannot take its record is refused at the write, the others still flushed.
void TestHistoryFiles::batchedRecords_data()
{
    QTest::addColumn<QString>("broken"); // a history file replaced by a directory; "" for none
    QTest::addColumn<QByteArray>("mbsnBefore");
    QTest::addColumn<QByteArray>("mbsnAfter");
    QTest::newRow("all four") << "" << QByteArray("#History MBSN\n") << QByteArray("#History MBSN\nM1\n");
    QTest::newRow("cut-short MBSN line") << "" << QByteArray("#History MBSN\nM0")
                                         << QByteArray("#History MBSN\nM0\nM1\n");
    QTest::newRow("missing MBSN file") << "" << QByteArray("<none>") << QByteArray("M1\n");
    QTest::newRow("IMEI file unusable") << "imei_history.data" << QByteArray("#History MBSN\n")
                                        << QByteArray("#History MBSN\nM1\n");
    QTest::newRow("BT file unusable") << "bt_history.data" << QByteArray("#History MBSN\n")
                                      << QByteArray("#History MBSN\nM1\n");
}

void TestHistoryFiles::batchedRecords()
{
    QFETCH(QString, broken);
    QFETCH(QByteArray, mbsnBefore);
    QFETCH(QByteArray, mbsnAfter);
    StationHistories histories;
    loadHistories(histories);
    if (mbsnBefore == "<none>")
        QVERIFY(QFile::remove(cfgPath("mbsn_history.data")));
    else
        QVERIFY(writeBytes(cfgPath("mbsn_history.data"), mbsnBefore));
    if (!broken.isEmpty()) {
        QVERIFY(QFile::remove(cfgPath(broken)));
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("cfg/") + broken));
    }
    const QMap<QString, QByteArray> added = {
        {"imei_history.data", "2024-03-05 19:08:09\t\t356938035643809\n"},
        {"mbsn_history.data", ""},
        {"psn_history.data", "P1\n"},
        {"bt_history.data", "002715082c32\n"},
    };
    QMap<QString, QByteArray> before;
    for (auto it = added.cbegin(); it != added.cend(); ++it)
        before[it.key()] = readBytes(cfgPath(it.key()));

    HistoryAppends batch;
    QCOMPARE(::recordImeiHistory(histories, {QStringLiteral("356938035643809")}, 1, &batch),
             broken != QLatin1String("imei_history.data"));
    QVERIFY(::recordHistory(histories, HistoryMbsn, QStringLiteral("M1"), &batch));
    QVERIFY(::recordHistory(histories, HistoryPsn, QStringLiteral("P1"), &batch));
    QCOMPARE(::recordHistory(histories, HistoryBt, QStringLiteral("002715082c32"), &batch),
             broken != QLatin1String("bt_history.data"));
    QCOMPARE(batch.flush(), QList<int>());
    QCOMPARE(batch.flush(), QList<int>()); // nothing pending any more

    QCOMPARE(readBytes(cfgPath("mbsn_history.data")), mbsnAfter);
    for (auto it = added.cbegin(); it != added.cend(); ++it) {
        if (it.key() != QLatin1String("mbsn_history.data") && it.key() != broken)
            QCOMPARE(readBytes(cfgPath(it.key())), before.value(it.key()) + it.value());
    }
    StationHistories reloaded;
    loadHistories(reloaded);
    QCOMPARE(valuesOf(reloaded.psnHistory), QStringList{"P1"});
}

// The worker fails the cycle on false; the value is still known to this run's duplicate tests.
void TestHistoryFiles::failedRecordStillExtendsMemory()
{
    StationHistories histories;
    loadHistories(histories);
    QVERIFY(QFile::remove(cfgPath("imei_history.data")));
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("cfg/imei_history.data")));
    QVERIFY(QFile::remove(cfgPath("bt_history.data")));
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("cfg/bt_history.data")));

    const QString imei = QStringLiteral("356938035643809");
    QVERIFY(!::recordImeiHistory(histories, QStringList(4, imei), 2));
    QVERIFY(imeiInHistory(imei, histories.imeiHistory));
    QVERIFY(!::recordHistory(histories, HistoryBt, QStringLiteral("002715082c32")));
    QVERIFY(histories.btHistory.contains(QStringLiteral("002715082c32")));
    QVERIFY(::recordHistory(histories, HistoryPsn, QStringLiteral("P1")));
}

void TestHistoryFiles::recordsSurviveRestart()
{
    Records expected;
    {
        StationHistories histories;
        loadHistories(histories);
        for (int i = 0; i < 50; ++i) {
            const QStringList imeis{luhnImei(35000000000000 + 4 * i), luhnImei(35000000000001 + 4 * i),
                                    luhnImei(35000000000002 + 4 * i), luhnImei(35000000000003 + 4 * i)};
            QVERIFY(::recordImeiHistory(histories, imeis, 4));
            QVERIFY(::recordHistory(histories, HistoryMbsn, QStringLiteral("MB%1").arg(i)));
        }
        expected = recordsOf(histories.imeiHistory);
        // A file deleted while the tool runs comes back with the next append, without its first line.
        QVERIFY(QFile::remove(cfgPath("psn_history.data")));
        QVERIFY(::recordHistory(histories, HistoryPsn, QStringLiteral("P1")));
        QCOMPARE(readBytes(cfgPath("psn_history.data")), QByteArray("P1\n"));
    }
    StationHistories histories;
    loadHistories(histories);
    QCOMPARE(recordsOf(histories.imeiHistory), expected);
    QCOMPARE(histories.mbsnHistory.size(), 50);
    QVERIFY(histories.mbsnHistory.contains(QStringLiteral("MB49")));
    QCOMPARE(valuesOf(histories.psnHistory), QStringList{"P1"});
    QVERIFY(imeiInHistory(luhnImei(35000000000002), histories.imeiHistory));
    QVERIFY(!imeiInHistory(luhnImei(35000000000200), histories.imeiHistory));
}

void TestHistoryFiles::trailingBlankIsAnotherValue()
{
    {
        StationHistories histories;
        loadHistories(histories);
        QVERIFY(::recordHistory(histories, HistoryMbsn, QStringLiteral("A")));
    }
    QFile file(cfgPath("mbsn_history.data"));
    QVERIFY(file.open(QIODevice::Append));
    QCOMPARE(file.write("A \n"), 3);
    file.close();
    StationHistories histories;
    loadHistories(histories);
    QCOMPARE(valuesOf(histories.mbsnHistory), (QStringList{"A", "A "}));
    QVERIFY(histories.mbsnHistory.contains(QStringLiteral("A ")));
    QVERIFY(!histories.mbsnHistory.contains(QStringLiteral(" A")));
    QVERIFY(!histories.mbsnHistory.contains(QStringLiteral("a")));
}

void TestHistoryFiles::lineWithoutTabMatchesSubstring()
{
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("cfg")));
    QVERIFY(writeBytes(cfgPath("imei_history.data"), "#h\nwritten by hand 356938035643809 ok\n"));
    StationHistories histories;
    loadHistories(histories);
    QCOMPARE(histories.imeiHistory.size(), 1);
    QVERIFY(imeiInHistory(QStringLiteral("356938035643809"), histories.imeiHistory));
    QVERIFY(imeiInHistory(QStringLiteral("by hand 3569"), histories.imeiHistory));
    QVERIFY(!imeiInHistory(QStringLiteral("356938035643808"), histories.imeiHistory));
    QVERIFY(!imeiInHistory(QStringLiteral("BY HAND"), histories.imeiHistory));
}

void TestHistoryFiles::indexedLookupEqualsLiteralScan_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::newRow("random regular records") << "regular";
    QTest::newRow("adversarial irregular records") << "adversarial";
    QTest::newRow("repeated IMEIs") << "repeats";
    QTest::newRow("more 15-digit runs than are indexed") << "windows";
    QTest::newRow("empty history") << "empty";
}

// The index must answer exactly what the literal scan answers, for any record and any candidate.
void TestHistoryFiles::indexedLookupEqualsLiteralScan()
{
    QFETCH(QString, scenario);
    QRandomGenerator rng(2024);
    QByteArray file = "#Date and time\t\t\tHistory IMEI\n";
    auto randomImei = [&]() { return luhnImei(rng.bounded(Q_INT64_C(100000000000000))); };
    auto date = [&]() {
        return QStringLiteral("20%1-%2-%3 %4:%5:%6")
            .arg(rng.bounded(100), 2, 10, QLatin1Char('0'))
            .arg(rng.bounded(100), 2, 10, QLatin1Char('0'))
            .arg(rng.bounded(100), 2, 10, QLatin1Char('0'))
            .arg(rng.bounded(100), 2, 10, QLatin1Char('0'))
            .arg(rng.bounded(100), 2, 10, QLatin1Char('0'))
            .arg(rng.bounded(100), 2, 10, QLatin1Char('0'));
    };
    QStringList pool; // IMEIs that candidates are drawn from
    for (int i = 0; i < 200; ++i)
        pool << randomImei();
    pool << QStringLiteral("000000000000000") << QStringLiteral("999999999999999");
    auto regularText = [&](int count) {
        QStringList imeis;
        for (int k = 0; k < count; ++k)
            imeis << (rng.bounded(3) == 0 ? pool.at(rng.bounded(int(pool.size()))) : randomImei());
        return imeis.join(u',');
    };
    const int records = scenario == QLatin1String("empty") ? 0 : 1500;
    for (int i = 0; i < records; ++i) {
        QString line;
        if (scenario == QLatin1String("regular")) {
            line = date() + "\t\t" + regularText(1 + rng.bounded(4));
        } else if (scenario == QLatin1String("repeats")) {
            line = date() + "\t\t" + pool.at(i % 3) + "," + pool.at(3 + i % 2);
        } else if (scenario == QLatin1String("windows")) {
            // Long digit runs, 4082 runs of 15 digits a line: the last lines are past what is indexed.
            QString digits;
            for (int k = 0; k < 4096; ++k)
                digits += QChar(u'0' + rng.bounded(10));
            line = i % 2 == 0 ? digits : date() + "\t\t" + regularText(4);
            if (i >= 1100)
                break;
        } else {
            const QString a = pool.at(rng.bounded(int(pool.size())));
            const QString b = pool.at(rng.bounded(int(pool.size())));
            switch (rng.bounded(14)) {
            case 0:
                line = date() + "\t\t" + a.left(1 + rng.bounded(14));
                break; // partial
            case 1:
                line = date() + "\t\t" + a + b.left(3);
                break; // 18 digits
            case 2:
                line = date() + "\t\t" + a + "," + b + ",";
                break; // trailing comma
            case 3:
                line = date() + "\t\t," + a;
                break; // leading comma
            case 4:
                line = a + " " + b;
                break; // no tab
            case 5:
                line = date() + "\t\t" + a + ",," + b;
                break; // empty group
            case 6:
                line = date() + "\t\t" + regularText(5);
                break; // five IMEIs
            case 7:
                line = date().replace(u'-', u'/') + "\t\t" + a;
                break; // other date form
            case 8:
                line = date() + "\t\t" + a.left(7) + "x" + a.mid(7);
                break; // letter inside
            case 9:
                line = date() + "\t\t" + b.right(9) + a + b.left(4);
                break; // IMEI inside a run
            case 10:
                line = QString();
                break; // empty line
            case 11:
                line = date() + "\t\t" + a + ";" + b + "\x01";
                break; // garbage separators
            case 12:
                line = date() + "\t\t" + a.right(8) + "," + b.left(7);
                break;
            default:
                line = date() + "\t\t" + regularText(1 + rng.bounded(4));
                break;
            }
        }
        file += line.toLatin1() + "\n";
    }
    const QString path = m_dir->filePath(QStringLiteral("imei_history.data"));
    QVERIFY(writeBytes(path, file));
    ImeiHistory history;
    QVERIFY(::readImeiHistory(path, history));

    // Oracle records straight from the lines, as the file format defines them.
    QStringList texts;
    const QList<QByteArray> lines = file.split('\n');
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        const QString line = QString::fromLatin1(lines.at(i));
        const qsizetype first = line.indexOf(u'\t');
        const ImeiHistoryRecord r = history.at(texts.size());
        QCOMPARE(r.dateTime, first < 0 ? line : line.left(first));
        QCOMPARE(r.imeis, first < 0 ? line : line.mid(line.lastIndexOf(u'\t') + 1));
        texts << r.imeis;
    }
    QCOMPARE(history.size(), texts.size());

    QStringList candidates{QString(),           QStringLiteral(","), QStringLiteral("\n"), QString(QChar(0x4e2d)),
                           QStringLiteral("0"), QString(15, u'0'),   QString(15, u'9'),    QString(16, u'0')};
    for (const QString &imei : pool) {
        candidates << imei << imei.left(14) << imei.right(14) << imei.mid(3, 9) << imei + ","
                   << "," + imei << imei.left(14) + "0" << imei + imei.left(1);
    }
    for (int i = 0; i < 300; ++i)
        candidates << randomImei();
    for (int i = 0; i < 1500 && !texts.isEmpty(); ++i) {
        const QString &t = texts.at(rng.bounded(int(texts.size())));
        if (t.isEmpty())
            continue;
        const int from = rng.bounded(int(t.size()));
        const int length = rng.bounded(3) == 0 ? 15 : 1 + rng.bounded(40);
        candidates << t.mid(from, length); // substrings across commas and 15-digit runs of irregular text
    }
    if (scenario == QLatin1String("windows")) {
        // The literal oracle is slow over megabytes of digits: fewer candidates, most from the last lines.
        std::shuffle(candidates.begin(), candidates.end(), rng);
        candidates.resize(150);
        for (int i = 0; i < 150; ++i) {
            const QString &t = texts.at(texts.size() - 1 - rng.bounded(100));
            candidates << t.mid(rng.bounded(int(t.size())), rng.bounded(2) == 0 ? 15 : 1 + rng.bounded(20));
        }
    }
    for (const QString &candidate : std::as_const(candidates)) {
        if (history.contains(candidate) != literalScan(texts, candidate))
            QFAIL(qPrintable(QStringLiteral("disagrees on \"%1\"").arg(candidate)));
    }
    QCOMPARE(history.contains(QString()), !texts.isEmpty());
}

// Appends after loading go to the tail and, past its limit, into a rebuilt index.
void TestHistoryFiles::lookupAfterAppendsAndRebuilds()
{
    ImeiHistory history;
    QStringList texts;
    QStringList written;
    for (int i = 0; i < 4000; ++i) {
        const QStringList set{luhnImei(10000000000000 + 8 * i), luhnImei(10000000000001 + 8 * i),
                              luhnImei(10000000000002 + 8 * i), luhnImei(10000000000003 + 8 * i)};
        const QString text = set.join(u',');
        history.append(QStringLiteral("2024-03-05 19:08:09"), text);
        texts << text;
        written << set;
        if (i % 1000 == 0) {
            history.append(QStringLiteral("by hand"), QStringLiteral("12345678901234567890")); // irregular
            texts << QStringLiteral("12345678901234567890");
        }
        QVERIFY(history.contains(set.at(3)));
    }
    for (const QString &imei : std::as_const(written))
        QVERIFY(history.contains(imei));
    for (int i = 0; i < 100; ++i) {
        const QString absent = luhnImei(10000000000004 + 8 * i);
        QCOMPARE(history.contains(absent), literalScan(texts, absent));
    }
    QVERIFY(history.contains(QStringLiteral("234567890123456")));
    QVERIFY(history.contains(QStringLiteral("567890123456789")));
    QVERIFY(!history.contains(QStringLiteral("567890123456780")));
    QCOMPARE(history.at(0).dateTime, QStringLiteral("2024-03-05 19:08:09"));
    QCOMPARE(history.at(1).imeis, QStringLiteral("12345678901234567890"));
    QCOMPARE(history.at(history.size()).imeis, QString()); // out of range
    // A text outside the 8-bit range is kept as it is.
    history.append(QStringLiteral("2024-03-05 19:08:09"), QStringView(u"\u4e2d356938035643809").toString());
    QVERIFY(history.contains(QStringView(u"\u4e2d3569").toString()));
    QVERIFY(history.contains(QStringLiteral("356938035643809")));
    history.clear();
    QCOMPARE(history.size(), 0);
    QVERIFY(!history.contains(written.at(0)));
}

// A big file is read in two parts at once and its index built on two threads: the records keep their
// order, IMEIs recorded over and over keep every record they belong to, appends after the load join them,
// and every lookup still agrees with the scan.
void TestHistoryFiles::bigFileLoadsInOrder_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::newRow("distinct IMEIs") << "distinct";
    QTest::newRow("the same set recorded again and again") << "repeats";
    QTest::newRow("records appended after the load") << "appends";
}

void TestHistoryFiles::bigFileLoadsInOrder()
{
    QFETCH(QString, scenario);
    QRandomGenerator rng(77);
    QByteArray file = "#Date and time\t\t\tHistory IMEI\n";
    QStringList dates;
    QStringList texts;
    const QStringList pressureSet{luhnImei(35000000000000), luhnImei(35000000000010), luhnImei(35000000000020),
                                  luhnImei(35000000000030)};
    for (int i = 0; file.size() < (qint64(10) << 20); ++i) {
        QString date = QStringLiteral("2024-01-01 00:00:%1").arg(i % 60, 2, 10, QLatin1Char('0'));
        QStringList imeis;
        for (int k = 0; k < 4; ++k)
            imeis << luhnImei(rng.bounded(Q_INT64_C(100000000000000)));
        if (scenario == QLatin1String("repeats") && i % 3 == 0)
            imeis = pressureSet.mid(0, 1 + i % 4);
        QString text = imeis.join(u',');
        if (i % 97 == 0) {
            text = imeis.at(0) + QStringLiteral(" hand ") + QString::number(i); // irregular, in both halves
            date = QStringLiteral("d%1").arg(i);
        }
        file += (date + "\t\t" + text).toLatin1() + "\n";
        dates << date;
        texts << text;
    }
    const QString path = m_dir->filePath(QStringLiteral("big.data"));
    QVERIFY(writeBytes(path, file));
    ImeiHistory history;
    QVERIFY(::readImeiHistory(path, history));
    QCOMPARE(history.size(), texts.size());
    if (scenario == QLatin1String("appends")) {
        QCOMPARE(history.at(1).imeis, texts.at(1)); // the record order is known before the appends
        for (int i = 0; i < 5000; ++i) {            // past the tail's limit: the index is rebuilt on the way
            const QString text = luhnImei(36000000000000 + 10 * i) + u',' + luhnImei(36000000000005 + 10 * i);
            history.append(QStringLiteral("2024-02-02 02:02:02"), text);
            dates << QStringLiteral("2024-02-02 02:02:02");
            texts << text;
        }
        QCOMPARE(history.size(), texts.size());
        QVERIFY(history.contains(luhnImei(36000000000005 + 10 * 4999)));
        QVERIFY(!history.contains(luhnImei(36000000000005 + 10 * 5000)));
    }
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const ImeiHistoryRecord r = history.at(i);
        if (r.dateTime != dates.at(i) || r.imeis != texts.at(i))
            QFAIL(qPrintable(QStringLiteral("record %1 differs: %2 %3").arg(i).arg(r.dateTime, r.imeis)));
    }
    for (const QString &imei : pressureSet)
        QCOMPARE(history.contains(imei), scenario == QLatin1String("repeats"));
    for (int i = 0; i < 40; ++i) {
        const QString &t = texts.at(rng.bounded(int(texts.size())));
        const QString present = t.mid(16 * rng.bounded(int(t.size() + 1) / 16), 15);
        QVERIFY(history.contains(present));
        const QString absent = luhnImei(rng.bounded(Q_INT64_C(100000000000000)));
        QCOMPARE(history.contains(absent), literalScan(texts, absent));
        const QString part = t.mid(rng.bounded(int(t.size())), 1 + rng.bounded(20));
        QCOMPARE(history.contains(part), literalScan(texts, part));
    }
}

void TestHistoryFiles::historyListMembership()
{
    HistoryList list;
    QVERIFY(!list.contains(QString()));
    for (int i = 0; i < 5000; ++i)
        list.append(QStringLiteral("SN%1").arg(i, 17, 10, QLatin1Char('0')));
    list.append(QString());
    list.append(QStringLiteral("dup"));
    list.append(QStringLiteral("dup"));
    QCOMPARE(list.size(), 5003);
    QCOMPARE(list.at(42), QStringLiteral("SN00000000000000042"));
    QCOMPARE(list.at(-1), QString());
    QVERIFY(list.contains(QStringLiteral("SN00000000000004999")));
    QVERIFY(!list.contains(QStringLiteral("SN00000000000005000")));
    QVERIFY(!list.contains(QStringLiteral("sn00000000000004999")));
    QVERIFY(list.contains(QString()));
    QVERIFY(list.contains(QStringLiteral("dup")));
    list.clear();
    QVERIFY(list.isEmpty());
    QVERIFY(!list.contains(QStringLiteral("dup")));
}

void TestHistoryFiles::historyListLoads_data()
{
    QTest::addColumn<QStringList>("cycle"); // the file repeats these values in turn
    QTest::addColumn<int>("lines");
    QTest::newRow("one value a million times") << QStringList{"MB0001"} << 1000000;
    QTest::newRow("two values in turn") << QStringList{"P1", "P2"} << 400000;
    QTest::newRow("a value outside Latin-1 over and over")
        << QStringList{QStringView(u"\u5e8f\u53f71").toString(), "x\u00e9"} << 200000;
    QTest::newRow("distinct values") << QStringList() << 300000;
    QTest::newRow("distinct values, read in two slices") << QStringList() << 700000;
    QTest::newRow("one value over and over, read in two slices") << QStringList{"PSN0000000000007"} << 700000;
    // A value of 32 characters or more takes a byte more than its line; a short file and one of two megabytes.
    QStringList long32;
    for (int i = 0; i < 100; ++i)
        long32 << QStringLiteral("MB%1").arg(i, 30, 10, QLatin1Char('0'));
    QTest::newRow("values of 32 characters, a short file") << long32 << 100;
    QTest::newRow("values of 32 characters, two megabytes") << long32 << 61934;
}

// Values load in file order however often they repeat; a repeat costs no more than a new value.
void TestHistoryFiles::historyListLoads()
{
    QFETCH(QStringList, cycle);
    QFETCH(int, lines);
    for (const QString &value : std::as_const(cycle)) {
        if (QString::fromLocal8Bit(value.toLocal8Bit()) != value)
            QSKIP("the system's code page cannot hold these values");
    }
    QStringList expected;
    expected.reserve(lines);
    QByteArray file = "#History MBSN\n";
    for (int i = 0; i < lines; ++i) {
        expected << (cycle.isEmpty() ? QStringLiteral("BT%1").arg(i, 10, 16, QLatin1Char('0'))
                                     : cycle.at(i % cycle.size()));
        file += expected.back().toLocal8Bit() + "\n";
    }
    const QString path = m_dir->filePath(QStringLiteral("list.data"));
    QVERIFY(writeBytes(path, file));
    HistoryList list;
    QVERIFY(::readHistoryList(path, list, HistoryMbsn));
    QCOMPARE(list.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        if (list.at(i) != expected.at(i))
            QFAIL(qPrintable(QStringLiteral("value %1 differs: %2").arg(i).arg(list.at(i))));
    }
    for (int i = 0; i < 1000; ++i)
        QVERIFY(list.contains(expected.at(QRandomGenerator::global()->bounded(lines))));
    QVERIFY(!list.contains(expected.at(0) + u' '));
    QVERIFY(!list.contains(QStringLiteral("BT%1").arg(lines, 10, 16, QLatin1Char('0'))));
    // Appends after the load join the same values.
    list.append(expected.at(0));
    list.append(QStringLiteral("new"));
    QCOMPARE(list.size(), lines + 2);
    QCOMPARE(list.at(lines), expected.at(0));
    QVERIFY(list.contains(QStringLiteral("new")));
}

void TestHistoryFiles::memoryFollowsFileSize_data()
{
    QTest::addColumn<bool>("imei");          // the IMEI history, else a single-value one
    QTest::addColumn<QByteArray>("pattern"); // the file repeats it; "%" becomes a running number
    QTest::newRow("blank IMEI lines") << true << QByteArray("\n");
    QTest::newRow("blank IMEI lines ending in CR") << true << QByteArray("\r\n");
    QTest::newRow("one character a line") << true << QByteArray("a\n");
    QTest::newRow("a tab a line") << true << QByteArray("\t\n");
    QTest::newRow("digits without a tab") << true << QByteArray("3569380356438093569380356438%\n");
    QTest::newRow("regular and blank lines in turn") << true << QByteArray("2024-01-02 03:04:05\t\t3569380356%\n\n");
    QTest::newRow("regular records of four IMEIs")
        << true << QByteArray("2024-01-02 03:04:05\t\t3569380356%,4901542032%,3520990017%,1000000000%\n");
    QTest::newRow("one short value over and over") << false << QByteArray("a\n");
    QTest::newRow("distinct addresses") << false << QByteArray("0027150%\n");
    QTest::newRow("distinct short values") << false << QByteArray("%\n");
}

// A history costs at most about three times its file, whatever the file holds.
void TestHistoryFiles::memoryFollowsFileSize()
{
    QFETCH(bool, imei);
    QFETCH(QByteArray, pattern);
    if (AddressSanitizer)
        QSKIP("the address sanitizer holds freed memory back");
    if (residentBytes() < 0)
        QSKIP("no resident size here");
    const QString path = m_dir->filePath(QStringLiteral("h.data"));
    qint64 size = 0;
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QByteArray chunk; // a megabyte of lines, written again with other numbers
        for (int block = 0; block < 24; ++block) {
            chunk = pattern.repeated((1 << 20) / pattern.size());
            if (pattern.contains('%')) {
                chunk.clear();
                for (int i = 0; chunk.size() < (1 << 20); ++i)
                    chunk +=
                        QByteArray(pattern).replace("%", QByteArray::number(block * 100000 + i).rightJustified(7, '0'));
            }
            QCOMPARE(file.write(chunk), chunk.size());
            size += chunk.size();
        }
    }
    const qint64 before = residentBytes();
    ImeiHistory history;
    HistoryList list;
    if (imei)
        QVERIFY(::readImeiHistory(path, history));
    else
        QVERIFY(::readHistoryList(path, list, HistoryMbsn));
    const qint64 grown = residentBytes() - before;
    qInfo("%lld bytes of file, %lld bytes more resident", size, grown);
    QVERIFY2(grown <= 3 * size,
             qPrintable(QStringLiteral("%1 MB for a file of %2 MB").arg(grown >> 20).arg(size >> 20)));
    QVERIFY(imei ? history.size() > 0 : list.size() > 0);
}

void TestHistoryFiles::lookupsWhileAppending_data()
{
    QTest::addColumn<bool>("imei");
    QTest::newRow("IMEI history") << true;
    QTest::newRow("single-value history") << false;
}

// The window looks values up while the worker records: every lookup answers for a whole history, one that
// holds at least what was appended before it began and nothing that was never appended.
void TestHistoryFiles::lookupsWhileAppending()
{
    QFETCH(bool, imei);
    constexpr int Loaded = 2000;
    constexpr int Appended = 100000;
    // Record r: four IMEIs, or by hand every 1000th; the single-value history holds one serial a record.
    auto imeiOf = [](int r, int k) { return luhnImei(50000000000000 + 4 * quint64(r) + quint64(k)); };
    auto textOf = [&](int r) {
        return r % 1000 == 999 ? QStringLiteral("by hand %1").arg(r)
                               : QStringList{imeiOf(r, 0), imeiOf(r, 1), imeiOf(r, 2), imeiOf(r, 3)}.join(u',');
    };
    auto serialOf = [](int r) { return QStringLiteral("SN%1").arg(r, 12, 10, QLatin1Char('0')); };
    QByteArray file;
    for (int r = 0; r < Loaded; ++r)
        file += (imei ? "2024-03-05 19:08:09\t\t" + textOf(r) : serialOf(r)).toLatin1() + '\n';
    const QString path = m_dir->filePath(QStringLiteral("h.data"));
    QVERIFY(writeBytes(path, file));
    ImeiHistory history;
    HistoryList list;
    QVERIFY(imei ? ::readImeiHistory(path, history) : ::readHistoryList(path, list, HistoryMbsn));

    std::atomic<int> done{Loaded}; // records appended so far
    std::unique_ptr<QThread> worker(QThread::create([&] {
        for (int r = Loaded; r < Loaded + Appended; ++r) {
            if (imei)
                history.append(QStringLiteral("2024-03-05 19:08:09"), textOf(r));
            else
                list.append(serialOf(r));
            done.store(r + 1);
        }
    }));
    worker->start();
    QRandomGenerator rng(31);
    int lookups = 0;
    QStringList wrong;
    while (!worker->isFinished() && wrong.size() < 5) {
        const int before = done.load();
        const int r = rng.bounded(before);
        const int never = Loaded + Appended + rng.bounded(1000);
        ++lookups;
        if (imei) {
            if (r % 1000 != 999 && !history.contains(imeiOf(r, int(rng.bounded(4)))))
                wrong << QStringLiteral("IMEI of record %1 not found").arg(r);
            if (history.contains(imeiOf(never, 0)))
                wrong << QStringLiteral("IMEI never recorded found");
            if (lookups % 64 == 0 && history.at(r).imeis != textOf(r))
                wrong << QStringLiteral("record %1 reads %2").arg(r).arg(history.at(r).imeis);
            if (history.size() < before)
                wrong << QStringLiteral("size went back");
        } else {
            if (!list.contains(serialOf(r)))
                wrong << QStringLiteral("serial of record %1 not found").arg(r);
            if (list.contains(serialOf(never)))
                wrong << QStringLiteral("serial never recorded found");
            if (lookups % 64 == 0 && list.at(r) != serialOf(r))
                wrong << QStringLiteral("value %1 reads %2").arg(r).arg(list.at(r));
        }
    }
    QVERIFY(worker->wait(QDeadlineTimer(qint64(600000))));
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u'\n')));
    qInfo("%d lookups while appending", lookups);
    QVERIFY(lookups > 0);
    // The final history holds everything, in order.
    QCOMPARE(imei ? history.size() : list.size(), Loaded + Appended);
    for (int i = 0; i < 2000; ++i) {
        const int r = rng.bounded(Loaded + Appended);
        if (imei) {
            QCOMPARE(history.at(r).imeis, textOf(r));
            if (r % 1000 != 999)
                QVERIFY(history.contains(imeiOf(r, 3)));
        } else {
            QCOMPARE(list.at(r), serialOf(r));
            QVERIFY(list.contains(serialOf(r)));
        }
    }
}

void TestHistoryFiles::refusedHistoryFiles_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("refused");
    const QList<QPair<QString, bool>> setups = {
        {"regular file", false},
        {"link to a regular file", true},
        {"link to nothing", true},
        {"/dev/null", true},
        {"/dev/zero", true},
        {"/dev/urandom", true},
        {"FIFO", true},
        {"directory", true},
    };
    for (int kind : {int(HistoryImei), int(HistoryMbsn), int(HistoryPsn), int(HistoryBt)}) {
        for (const auto &[setup, refused] : setups)
            QTest::addRow("%s, %s", qPrintable(QFileInfo(historyFilePath(kind)).fileName()), qPrintable(setup))
                << kind << setup << refused;
    }
}

// A history that is no regular file cannot tell what was issued nor keep a record: the load says so, naming it,
// without hanging or growing, and its appends fail, leaving whatever a link names as it was.
void TestHistoryFiles::refusedHistoryFiles()
{
    QFETCH(int, kind);
    QFETCH(QString, setup);
    QFETCH(bool, refused);
    StationHistories histories;
    loadHistories(histories);
    QVERIFY(histories.problem.isEmpty());
    const QString path = historyFilePath(kind);
    const QString target = m_dir->filePath(QStringLiteral("target.data"));
    QVERIFY(writeBytes(target, "#t\n"));
    QVERIFY(QFile::remove(path));
    if (setup == QLatin1String("regular file")) {
        QVERIFY(writeBytes(path, "#h\n"));
    } else if (setup == QLatin1String("link to a regular file")) {
        if (!FileKinds::makeLink(target, path))
            QSKIP("this account makes no links here");
    } else if (setup == QLatin1String("link to nothing")) {
        if (!FileKinds::makeLink(m_dir->filePath(QStringLiteral("nothing")), path))
            QSKIP("this account makes no links here");
    } else if (setup.startsWith(QLatin1String("/dev/"))) {
        if (!QFileInfo::exists(setup))
            QSKIP("no such device here");
        QVERIFY(QFile::link(setup, path));
    } else if (setup == QLatin1String("FIFO")) {
        if (!FileKinds::haveFifos())
            QSKIP("no FIFOs here");
        QVERIFY(FileKinds::makeFifo(path));
    } else {
        QVERIFY(QDir().mkdir(path));
    }
    loadHistories(histories);
    QCOMPARE(histories.problem.isEmpty(), !refused);
    if (refused)
        QVERIFY2(histories.problem.contains(QFileInfo(path).fileName()), qPrintable(histories.problem));
    const bool recorded = kind == HistoryImei ? ::recordImeiHistory(histories, {QStringLiteral("356938035643809")}, 1)
                                              : ::recordHistory(histories, kind, QStringLiteral("v1"));
    QCOMPARE(recorded, !refused);
    QCOMPARE(readBytes(target), QByteArray("#t\n"));
}

void TestHistoryFiles::partialReadRefusesWrites_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("lines");
    QTest::addColumn<qint64>("failAt"); // the first byte whose read fails; -1: none
    QTest::newRow("BT history, error at byte 16384") << int(HistoryBt) << 3000 << qint64(16384);
    QTest::newRow("BT history read whole") << int(HistoryBt) << 3000 << qint64(-1);
    QTest::newRow("IMEI history, error at its first byte") << int(HistoryImei) << 100 << qint64(0);
    QTest::newRow("PSN history, error in its last line") << int(HistoryPsn) << 1000 << qint64(13990);
    // From 8 MB on the IMEI history is read in two slices at once: the error lies in the second.
    QTest::newRow("IMEI history in two slices, error in the second") << int(HistoryImei) << 300000 << qint64(10000000);
    QTest::newRow("IMEI history in two slices read whole") << int(HistoryImei) << 300000 << qint64(-1);
    QTest::newRow("PSN history in two slices, error in the second") << int(HistoryPsn) << 700000 << qint64(9000000);
}

// A history whose file cannot be read to its end might lack any identity issued: the load names the file, so that
// the station writes nothing, and the values before the error are still known.
void TestHistoryFiles::partialReadRefusesWrites()
{
    QFETCH(int, kind);
    QFETCH(int, lines);
    QFETCH(qint64, failAt);
    StationHistories histories;
    loadHistories(histories);
    auto valueOf = [kind](int i) {
        return kind == HistoryImei ? luhnImei(35693803000000 + quint64(i))
               : kind == HistoryBt ? QString::number(0x002715000000ULL + quint64(i), 16).rightJustified(12, u'0')
                                   : QStringLiteral("PSN%1").arg(i, 10, 10, QLatin1Char('0'));
    };
    QByteArray file = "#History\n";
    for (int i = 0; i < lines; ++i)
        file += (kind == HistoryImei ? "2024-01-02 03:04:05\t\t" : "") + valueOf(i).toLatin1() + '\n';
    QVERIFY(failAt < file.size());
    QVERIFY(writeBytes(historyFilePath(kind), file));
    setHistoryReadDeviceForTesting([failAt](QFile &file) -> std::unique_ptr<QIODevice> {
        return failAt < 0 ? nullptr : std::make_unique<FailDevice>(file, failAt);
    });
    loadHistories(histories);
    if (failAt >= 0) {
        QVERIFY2(histories.problem.contains(QFileInfo(historyFilePath(kind)).fileName()),
                 qPrintable(histories.problem));
    } else {
        QCOMPARE(histories.problem, QString());
    }
    const bool lastKnown = kind == HistoryImei ? histories.imeiHistory.contains(valueOf(lines - 1))
                           : kind == HistoryBt ? histories.btHistory.contains(valueOf(lines - 1))
                                               : histories.psnHistory.contains(valueOf(lines - 1));
    QCOMPARE(lastKnown, failAt < 0);
    if (failAt > 1000) {
        const bool firstKnown = kind == HistoryImei ? histories.imeiHistory.contains(valueOf(0))
                                : kind == HistoryBt ? histories.btHistory.contains(valueOf(0))
                                                    : histories.psnHistory.contains(valueOf(0));
        QVERIFY(firstKnown);
    }
}

QTEST_GUILESS_MAIN(TestHistoryFiles)
#include "TestHistoryFiles.moc"

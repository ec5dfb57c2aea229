// Loads an IMEI history of a million records and measures it against plain reference work done in the
// same run: reading the same file and splitting its lines (also as a list of byte strings, and as a chunked
// scan that keeps nothing), and a literal scan over the records' texts. Prints one figure a line as
// "name: value unit".

#include "BenchImei.h"
#include "history/HistoryFiles.h"
#include "history/HistoryLineReader.h"
#include "history/ImeiHistory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator64>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int Records = 1000000;
constexpr int IrregularEvery = 500; // one irregular record in 500
constexpr int Runs = 11;

// Resident memory of the process in KiB ("VmRSS" or "VmHWM" of /proc/self/status); -1 where unknown.
qint64 statusKiB(const char *field)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

QByteArray randomImei(QRandomGenerator64 &rng)
{
    return withCheckDigit(rng.bounded(Q_UINT64_C(100000000000000)));
}

// The history file as the tool writes it, with a few irregular records between: hand edits, partial
// IMEIs, lines without tabs, garbage bytes.
bool writeHistory(const QString &path, std::vector<QByteArray> &sample)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QRandomGenerator64 rng(20240611);
    QByteArray chunk;
    chunk += "#Date and time\t\t\tHistory IMEI\n";
    for (int i = 0; i < Records; ++i) {
        const int seconds = i * 7;
        const QByteArray date = QStringLiteral("2024-%1-%2 %3:%4:%5")
                                    .arg(1 + (i / 90000) % 12, 2, 10, QLatin1Char('0'))
                                    .arg(1 + (i / 3000) % 28, 2, 10, QLatin1Char('0'))
                                    .arg((seconds / 3600) % 24, 2, 10, QLatin1Char('0'))
                                    .arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'))
                                    .arg(seconds % 60, 2, 10, QLatin1Char('0'))
                                    .toLatin1();
        if (i % IrregularEvery == IrregularEvery - 1) {
            switch ((i / IrregularEvery) % 4) {
            case 0:
                chunk += randomImei(rng) + " hand-written\n";
                break;
            case 1:
                chunk += date + "\t\t" + randomImei(rng).left(9) + "\n";
                break;
            case 2:
                chunk += date + "\t" + randomImei(rng) + ";" + randomImei(rng) + "\n";
                break;
            default:
                chunk += QByteArray("\x01\xfe\x00garbage", 10) + "\n";
                break;
            }
        } else {
            QByteArray imeis;
            for (int k = 0; k < 4; ++k) {
                const QByteArray imei = randomImei(rng);
                if (k > 0)
                    imeis += ',';
                imeis += imei;
                if (i % 997 == 0 && k == 2)
                    sample.push_back(imei);
            }
            chunk += date + "\t\t" + imeis + "\n";
        }
        if (chunk.size() > (1 << 20)) {
            if (file.write(chunk) != chunk.size())
                return false;
            chunk.clear();
        }
    }
    return file.write(chunk) == chunk.size();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <typename Work> double medianMs(Work work)
{
    std::vector<double> ms;
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        work();
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return median(std::move(ms));
}

struct LoadedHistory
{
    std::unique_ptr<ImeiHistory> history;
    bool isEmpty() const { return history->isEmpty(); }
};

struct ChunkedScan
{
    qint64 bytes;
    bool isEmpty() const { return bytes == 0; }
};

// The file read whole and split into its lines, each a view of the bytes read.
struct SplitFile
{
    QByteArray text;
    std::vector<QByteArrayView> lines;
    bool isEmpty() const { return lines.empty(); }
};

SplitFile readAndSplit(const QString &path)
{
    SplitFile split;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return split;
    split.text = file.readAll();
    const char *const begin = split.text.constData();
    const char *const end = begin + split.text.size();
    for (const char *line = begin; line < end;) {
        const void *found = std::memchr(line, '\n', size_t(end - line));
        const char *lineEnd = found ? static_cast<const char *>(found) : end;
        split.lines.emplace_back(line, lineEnd - line);
        line = lineEnd + 1;
    }
    return split;
}

void print(const char *name, double value, const char *unit)
{
    std::printf("%s: %.3f%s%s\n", name, value, *unit ? " " : "", unit);
    std::fflush(stdout);
}

void printCount(const char *name, qint64 value)
{
    std::printf("%s: %lld\n", name, static_cast<long long>(value));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary directory\n");
        return 1;
    }
    const QString path = dir.filePath(QStringLiteral("imei_history.data"));
    std::vector<QByteArray> present;
    if (!writeHistory(path, present)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    printCount("records", Records);
    print("file_size", double(QFile(path).size()) / (1024.0 * 1024.0), "MB");

    // Lower bound: the file read in the loader's own chunks and its line ends found, nothing kept.
    auto scanInChunks = [&]() {
        QFile file(path);
        qint64 bytes = 0;
        if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            return bytes;
        HistoryLineReader reader(file);
        QByteArrayView line;
        while (reader.next(line))
            bytes += line.size();
        return bytes;
    };
    scanInChunks(); // warms the page cache

    // Memory: resident size before and after the first load.
    ImeiHistory history;
    const qint64 rssBefore = statusKiB("VmRSS");
    const qint64 peakBefore = statusKiB("VmHWM");
    readImeiHistory(path, history);
    const qint64 rssAfter = statusKiB("VmRSS");
    const qint64 peakAfter = statusKiB("VmHWM");
    if (rssBefore >= 0 && rssAfter >= 0) {
        print("history_memory", double(rssAfter - rssBefore) / 1024.0, "MB");
        print("history_memory_peak", double(peakAfter - std::max(peakBefore, rssBefore)) / 1024.0, "MB");
    }
    printCount("history_records", history.size());

    // Rounds of one load and each reference in turn, so that a noisy stretch of the machine weighs on all
    // of them; the medians are compared. Each load goes into a fresh history, as at start-up. What a run
    // makes is freed after its timer stops.
    std::vector<double> loads, reads, lists, scans;
    auto timed = [](std::vector<double> &into, auto work) {
        QElapsedTimer timer;
        timer.start();
        const auto kept = work();
        into.push_back(double(timer.nsecsElapsed()) / 1e6);
        return kept.isEmpty();
    };
    bool empty = false;
    for (int run = 0; run < Runs; ++run) {
        empty = timed(loads,
                      [&]() {
                          auto fresh = std::make_unique<ImeiHistory>();
                          readImeiHistory(path, *fresh);
                          return LoadedHistory{std::move(fresh)};
                      }) ||
                empty;
        // The reference: reading the file and splitting its lines.
        empty = timed(reads, [&]() { return readAndSplit(path); }) || empty;
        // The same lines as a list of byte strings, as a plain line reader gives them.
        empty = timed(lists,
                      [&]() {
                          QFile file(path);
                          return file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QList<QByteArray>();
                      }) ||
                empty;
        // The file read in the loader's own chunks and its line ends found, nothing kept.
        empty = timed(scans, [&]() { return ChunkedScan{scanInChunks()}; }) || empty;
    }
    if (empty)
        std::printf("impossible\n");
    const double loadMs = median(loads);
    const double readMs = median(reads);
    const double listMs = median(lists);
    const double scanMs = median(scans);
    print("read_and_split", readMs, "ms");
    print("read_and_split_to_list", listMs, "ms");
    print("scan_in_chunks", scanMs, "ms");
    print("load_history", loadMs, "ms");
    print("load_ratio", loadMs / readMs, "");
    print("load_ratio_to_list", loadMs / listMs, "");
    print("load_ratio_to_chunked_scan", loadMs / scanMs, "");
    print("index_build", medianMs([&]() { history.endBulkLoad(); }), "ms");

    // Lookups: recorded IMEIs and random ones that are (almost surely) not recorded.
    QRandomGenerator64 rng(7);
    QStringList candidates;
    for (const QByteArray &imei : present)
        candidates << QString::fromLatin1(imei);
    while (candidates.size() < 2 * qsizetype(present.size()))
        candidates << QString::fromLatin1(randomImei(rng));
    std::shuffle(candidates.begin(), candidates.end(), rng);

    constexpr int Rounds = 50;
    int found = 0;
    QElapsedTimer timer;
    timer.start();
    for (int round = 0; round < Rounds; ++round) {
        for (const QString &c : candidates)
            found += imeiInHistory(c, history) ? 1 : 0;
    }
    const double indexedNs = double(timer.nsecsElapsed()) / (double(Rounds) * double(candidates.size()));
    print("lookup_indexed", indexedNs, "ns");

    // Reference: the same question answered by scanning every record's text.
    QStringList texts;
    texts.reserve(history.size());
    for (qsizetype i = 0; i < history.size(); ++i)
        texts << history.at(i).imeis;
    auto literalScan = [&](const QString &c) {
        for (const QString &t : texts) {
            if (t.contains(c))
                return true;
        }
        return false;
    };
    constexpr int LiteralLookups = 20;
    int mismatches = 0;
    timer.restart();
    for (int i = 0; i < LiteralLookups; ++i) {
        const QString &c = candidates.at(i);
        mismatches += literalScan(c) != imeiInHistory(c, history) ? 1 : 0;
    }
    const double literalNs = double(timer.nsecsElapsed()) / LiteralLookups - indexedNs;
    print("lookup_literal_scan", literalNs, "ns");
    print("lookup_ratio", literalNs / indexedNs, "");

    // A 14-digit candidate is not indexed: it takes the scan of the compact records.
    const QString shortCandidate = candidates.at(0).left(14);
    timer.restart();
    const bool shortFound = imeiInHistory(shortCandidate, history);
    print("lookup_fallback_14_digits", double(timer.nsecsElapsed()) / 1e6, "ms");
    mismatches += shortFound != literalScan(shortCandidate) ? 1 : 0;
    printCount("lookup_mismatches", mismatches);
    print("lookup_found_share", double(found) / (double(Rounds) * double(candidates.size())), "");
    return mismatches == 0 ? 0 : 2;
}

// Loads single-value histories (MBSN, PSN, Bluetooth addresses) of a million values each, all distinct and
// one value repeated, and measures them against reference work in the same run: reading the same file and
// splitting its lines, and lookups in a hash set of the values. Prints one figure a line as
// "name: value unit". The `_cpu` figures are the processor time of the same runs, which a machine busy with other
// work inflates less than the time on the clock.

#include "history/HistoryFiles.h"
#include "history/HistoryList.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator64>
#include <QSet>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

namespace {

constexpr int Values = 1000000;
constexpr int Runs = 5;
constexpr int Lookups = 200000;

qint64 residentKiB()
{
    QFile file(QStringLiteral("/proc/self/statm"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = file.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * 4 : -1;
}

QByteArray valueOf(int kind, quint64 n)
{
    switch (kind) {
    case HistoryMbsn:
        return "MB" + QByteArray::number(20240000000000ULL + n);
    case HistoryPsn:
        return "PSN" + QByteArray::number(n).rightJustified(13, '0');
    default:
        return QByteArray::number(0x002715000000ULL + 2 * n, 16).rightJustified(12, '0');
    }
}

QByteArray header(int kind)
{
    return kind == HistoryMbsn ? "#History MBSN\n" : kind == HistoryPsn ? "#History PSN\n" : "#History Blue Tooth\n";
}

bool writeHistory(const QString &path, int kind, bool repeated)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray chunk = header(kind);
    for (int i = 0; i < Values; ++i) {
        chunk += valueOf(kind, repeated ? 7 : quint64(i) * 7919 % 100000000) + '\n';
        if (chunk.size() > (1 << 20)) {
            if (file.write(chunk) != chunk.size())
                return false;
            chunk.clear();
        }
    }
    return file.write(chunk) == chunk.size();
}

double cpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void print(const QByteArray &name, double value, const char *unit)
{
    std::printf("%s: %.3f%s%s\n", name.constData(), value, *unit ? " " : "", unit);
    std::fflush(stdout);
}

// The file read whole and split into its lines, each a view of the bytes read.
size_t readAndSplit(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = file.readAll();
    std::vector<QByteArrayView> lines;
    const char *const end = text.constData() + text.size();
    for (const char *line = text.constData(); line < end;) {
        const void *found = std::memchr(line, '\n', size_t(end - line));
        const char *lineEnd = found ? static_cast<const char *>(found) : end;
        lines.emplace_back(line, lineEnd - line);
        line = lineEnd + 1;
    }
    return lines.size();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    int mismatches = 0;
    const struct
    {
        int kind;
        const char *name;
    } kinds[] = {{HistoryMbsn, "mbsn"}, {HistoryPsn, "psn"}, {HistoryBt, "bt"}};
    // HistoryListBenchmark [KIND...]: only the kinds named (mbsn, psn, bt).
    const QStringList only = app.arguments().mid(1);
    for (const auto &k : kinds) {
        if (!only.isEmpty() && !only.contains(QLatin1String(k.name)))
            continue;
        for (bool repeated : {false, true}) {
            const QByteArray name = QByteArray(k.name) + (repeated ? "_repeated" : "_distinct");
            const QString path = dir.filePath(QString::fromLatin1(name) + QStringLiteral(".data"));
            if (!writeHistory(path, k.kind, repeated))
                return 1;
            readAndSplit(path); // warms the page cache

            const qint64 before = residentKiB();
            auto kept = std::make_unique<HistoryList>();
            readHistoryList(path, *kept, k.kind);
            print(name + "_memory", double(residentKiB() - before) / 1024.0, "MB");
            print(name + "_file_size", double(QFile(path).size()) / (1024.0 * 1024.0), "MB");

            // Interleaved rounds of one load and the reference, medians compared.
            std::vector<double> loads, reads, loadsCpu, readsCpu;
            size_t sink = 0;
            for (int run = 0; run < Runs; ++run) {
                QElapsedTimer timer;
                timer.start();
                double cpu = cpuMs();
                {
                    HistoryList fresh;
                    readHistoryList(path, fresh, k.kind);
                    sink += size_t(fresh.size());
                    loads.push_back(double(timer.nsecsElapsed()) / 1e6);
                    loadsCpu.push_back(cpuMs() - cpu);
                }
                timer.restart();
                cpu = cpuMs();
                sink += readAndSplit(path);
                reads.push_back(double(timer.nsecsElapsed()) / 1e6);
                readsCpu.push_back(cpuMs() - cpu);
            }
            print(name + "_load", median(loads), "ms");
            print(name + "_read_and_split", median(reads), "ms");
            print(name + "_load_ratio", median(loads) / median(reads), "");
            print(name + "_load_cpu", median(loadsCpu), "ms");
            print(name + "_read_and_split_cpu", median(readsCpu), "ms");
            print(name + "_load_cpu_ratio", median(loadsCpu) / median(readsCpu), "");

            // Lookups: half recorded values, half not; the reference is a hash set of the same values.
            QRandomGenerator64 rng(11);
            QStringList candidates;
            for (int i = 0; i < 1000; ++i) {
                const quint64 n = rng.bounded(quint64(Values));
                candidates << QString::fromLatin1(valueOf(k.kind, repeated ? 7 : n * 7919 % 100000000));
                candidates << QString::fromLatin1(valueOf(k.kind, 100000000 + n));
            }
            QSet<QString> reference;
            for (qsizetype i = 0; i < kept->size(); ++i)
                reference.insert(kept->at(i));
            int found = 0;
            QElapsedTimer timer;
            timer.start();
            for (int i = 0; i < Lookups; ++i)
                found += kept->contains(candidates.at(i % candidates.size())) ? 1 : 0;
            const double lookupNs = double(timer.nsecsElapsed()) / Lookups;
            timer.restart();
            int referenceFound = 0;
            for (int i = 0; i < Lookups; ++i)
                referenceFound += reference.contains(candidates.at(i % candidates.size())) ? 1 : 0;
            const double referenceNs = double(timer.nsecsElapsed()) / Lookups;
            mismatches += found != referenceFound ? 1 : 0;
            print(name + "_lookup", lookupNs, "ns");
            print(name + "_lookup_hash_set", referenceNs, "ns");
            print(name + "_lookup_ratio", lookupNs / referenceNs, "");
            if (sink == 0)
                std::printf("impossible\n");
        }
    }
    std::printf("lookup_mismatches: %d\n", mismatches);
    return mismatches == 0 ? 0 : 2;
}

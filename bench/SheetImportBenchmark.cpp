// Imports 10,000 IMEI sets (four columns) from a workbook in each format, with the duplicate test on against an
// IMEI history of a million records, and reads the same cells through the reader alone, in the same run.
// Prints one figure a line as "name: value unit": medians of wall time, and of the processor time taken, the
// helper program's included (which a busy machine does not inflate). Target: each import at most 1000 ms.

#include "BenchImei.h"
#include "config/ToolSettings.h"
#include "history/HistoryFiles.h"
#include "history/ImeiHistory.h"
#include "history/StationHistories.h"
#include "identity/IdentityFrontEnd.h"
#include "identity/ImeiPool.h"
#include "identity/IssuedIdentities.h"
#include "identity/SheetImport.h"
#include "workbook/WorkbookReader.h"
#include "workbook/XlsWorkbookReader.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr int HistoryRecords = 1000000;
constexpr int Rows = 10000;
constexpr int Runs = 7;

class QuietFrontEnd final : public IdentityFrontEnd
{
public:
    void logLine(const QString &, LineColour) override { ++lines; }
    void clearLog() override {}
    void criticalBox(const QString &) override { ++boxes; }
    QString fieldText(IdentityField) const override { return QString(); }
    void setFieldText(IdentityField, const QString &) override {}
    void focusField(IdentityField, bool) override {}
    void setStatusState(int) override {}
    void endCycle() override {}
    QIODevice *adjustmentLog() const override { return nullptr; }

    int lines = 0;
    int boxes = 0;
};

class HistoryIssued final : public IssuedIdentities
{
public:
    explicit HistoryIssued(const ImeiHistory &history) : m_history(history) {}
    bool isIssued(int kind, const QString &value) const override
    {
        return kind == RunImei && imeiInHistory(value, m_history);
    }

private:
    const ImeiHistory &m_history;
};

// Processor time of this process and of its finished children (the .xls reader's helper).
double cpuMs()
{
    double ms = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        ms += double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
              double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    }
    return ms;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Every cell the import reads: A to D of each row and the empty A below.
int readAlone(const QString &path)
{
    const std::unique_ptr<WorkbookReader> reader = WorkbookReader::open(path);
    if (!reader || reader->selectSheet(QStringLiteral("IMEI")) != WorkbookReader::SheetStatus::Found)
        return -1;
    int filled = 0;
    QString text;
    for (int row = 1; row <= Rows + 1; ++row) {
        for (QChar column : QStringLiteral("ABCD")) {
            if (!reader->cellText(QString(column + QString::number(row)), text))
                return -1;
            filled += text.isEmpty() ? 0 : 1;
        }
    }
    return filled;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    XlsWorkbookReader::setHelperProgram(QStringLiteral(XLSCELLS_EXE));

    ToolSettings settings;
    StationHistories histories;
    settings.ImeiCheckRepetitive = true;
    // History records of other IMEIs (bodies from 35...), so that every lookup runs to its end and misses.
    histories.imeiHistory.beginBulkLoad();
    const QByteArray dateTime("2024-01-01 08:00:00");
    for (int i = 0; i < HistoryRecords; ++i)
        histories.imeiHistory.appendEncoded(dateTime, withCheckDigit(35000000000000ULL + quint64(i) * 7));
    histories.imeiHistory.endBulkLoad();
    const HistoryIssued issued(histories.imeiHistory);

    const QString data = QStringLiteral(DOVERARIZ_BENCH_DATA "/");
    const struct
    {
        const char *name;
        QString path;
    } formats[] = {
        {"xls", data + QStringLiteral("imei10000.xls")},
        {"xlsx", data + QStringLiteral("imei10000.xlsx")},
        {"csv", data + QStringLiteral("imei10000/IMEI.csv")},
    };

    std::printf("history_records: %lld\n", static_cast<long long>(histories.imeiHistory.size()));
    for (const auto &format : formats) {
        settings.ImeiFromFile = format.path;
        std::vector<double> imports;
        std::vector<double> reads;
        std::vector<double> importsCpu;
        std::vector<double> readsCpu;
        int sets = 0;
        int cells = 0;
        int messages = 0;
        // Imports and plain reads alternate, so that a noisy stretch of the machine weighs on both.
        for (int run = 0; run < Runs; ++run) {
            QuietFrontEnd frontEnd;
            ImeiPool pool;
            QElapsedTimer timer;
            double cpu = cpuMs();
            timer.start();
            const bool ok = SheetImport::importImeisFromSheet(settings, frontEnd, issued, ImeiPool::Capacity, pool);
            imports.push_back(double(timer.nsecsElapsed()) / 1e6);
            importsCpu.push_back(cpuMs() - cpu);
            sets = ok ? pool.total : -1;
            messages = frontEnd.lines + frontEnd.boxes;
            cpu = cpuMs();
            timer.start();
            cells = readAlone(format.path);
            reads.push_back(double(timer.nsecsElapsed()) / 1e6);
            readsCpu.push_back(cpuMs() - cpu);
        }
        std::printf("sheet_import_%s: %.1f ms\n", format.name, median(imports));
        std::printf("sheet_read_%s: %.1f ms\n", format.name, median(reads));
        std::printf("sheet_import_%s_cpu: %.1f ms\n", format.name, median(importsCpu));
        std::printf("sheet_read_%s_cpu: %.1f ms\n", format.name, median(readsCpu));
        std::printf("sheet_import_%s_sets: %d\n", format.name, sets);
        std::printf("sheet_read_%s_cells: %d\n", format.name, cells);
        std::printf("sheet_import_%s_messages: %d\n", format.name, messages);
    }
    return 0;
}

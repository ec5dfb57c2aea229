// Identity sources against histories of a million entries: the custom IMEI and serial series with their
// duplicate tests, one allocation of a complete set, and the Bluetooth range skipping recorded addresses.
// Beside each figure, the literal reference (a substring scan over every IMEI record, a linear search of the
// value lists) is timed on a sample of candidates and scaled to the same count. Prints "name: value unit".

#include "config/ToolSettings.h"
#include "history/StationHistories.h"
#include "identity/BtAddressGenerator.h"
#include "identity/IdentityAllocator.h"
#include "identity/IdentityFrontEnd.h"
#include "identity/IdentityPool.h"
#include "identity/ImeiPool.h"
#include "identity/ImeiPoolGenerator.h"
#include "identity/ImeiRules.h"
#include "identity/LocalIssuedIdentities.h"
#include "identity/SerialGenerator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int HistorySize = 1000000;
constexpr int Count = 10000;
constexpr int Runs = 7;
constexpr int Sample = 20;

class NullFrontEnd final : public IdentityFrontEnd
{
public:
    void logLine(const QString &, LineColour) override {}
    void clearLog() override {}
    void criticalBox(const QString &) override {}
    QString fieldText(IdentityField) const override { return QString(); }
    void setFieldText(IdentityField, const QString &) override {}
    void focusField(IdentityField, bool) override {}
    void setStatusState(int) override {}
    void endCycle() override {}
    QIODevice *adjustmentLog() const override { return nullptr; }
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <typename Work> double medianMs(Work work, int runs = Runs)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return median(std::move(ms));
}

void print(const char *name, double value, const char *unit)
{
    std::printf("%s: %.3f %s\n", name, value, unit);
    std::fflush(stdout);
}

QString imeiOf(quint64 body)
{
    return adjustImei(QString::number(body).rightJustified(14, QLatin1Char('0')));
}

// The literal duplicate tests the generators replace.
volatile bool sink = false;

bool literalImeiScan(const QStringList &records, const QString &candidate)
{
    for (const QString &record : records) {
        if (record.contains(candidate))
            return true;
    }
    return false;
}

bool literalListSearch(const QStringList &values, const QString &candidate)
{
    for (const QString &value : values) {
        if (value == candidate)
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir; // allocation saves its counters to cfg/ImeiSN.ini below the current directory
    if (!dir.isValid() || !QDir::setCurrent(dir.path())) {
        std::fprintf(stderr, "no temporary directory\n");
        return 1;
    }

    ToolSettings s;
    StationHistories h;
    // Histories grow at their end, so the values near the sources' series are the last ones.
    constexpr int Recent = HistorySize - Count;
    // IMEI records of two IMEIs each; every other IMEI of the custom series below is among them.
    QStringList imeiRecords;
    imeiRecords.reserve(HistorySize);
    h.imeiHistory.beginBulkLoad();
    for (int i = 0; i < HistorySize; ++i) {
        const quint64 body =
            i >= Recent ? 35000000000000ULL + quint64(2 * (i - Recent)) : 86000000000000ULL + quint64(7 * i);
        const QString record = imeiOf(body) + QLatin1Char(',') + imeiOf(body + 50000000);
        imeiRecords.append(record);
        const QByteArray bytes = record.toLatin1();
        h.imeiHistory.appendEncoded("2016-09-13 08:00:00", bytes);
    }
    h.imeiHistory.endBulkLoad();
    // MBSN, PSN and Bluetooth values; the first Count of each kind lie on the series the sources produce.
    QStringList mbsns, psns, bts;
    for (int i = 0; i < HistorySize; ++i) {
        const int n = i >= Recent ? 2 * (i - Recent) : 3 * HistorySize + i;
        mbsns.append(QStringLiteral("MB%1").arg(n, 15, 10, QLatin1Char('0')));
        psns.append(QStringLiteral("PS%1").arg(n, 18, 10, QLatin1Char('0')));
        bts.append(BtAddressGenerator::hexAddress(0x002715000000ULL +
                                                  quint64(i >= Recent ? i - Recent : 4 * HistorySize + i)));
        h.mbsnHistory.append(mbsns.last());
        h.psnHistory.append(psns.last());
        h.btHistory.append(bts.last());
    }
    LocalIssuedIdentities issued(h);
    NullFrontEnd frontEnd;

    // The custom IMEI series: 10,000 sets, every other IMEI recorded.
    s.ImeiInitNum14 = QStringLiteral("35000000000000");
    s.ImeiMaskNum14 = QStringLiteral("35000000******");
    s.ImeiMaxNum = Count;
    s.ImeiNum = 1;
    s.ImeiCheckRepetitive = true;
    ImeiPool imeiPool;
    int imeiTotal = 0;
    const double imeiMs = medianMs([&] {
        imeiPool.reset();
        ImeiPoolGenerator::generateImeiPool(s, imeiPool, issued, frontEnd);
        imeiTotal = imeiPool.total;
    });
    const double imeiLiteralMs = medianMs(
                                     [&] {
                                         for (int i = 0; i < Sample; ++i) {
                                             const QString candidate =
                                                 imeiOf(35000000000000ULL + quint64(i * (Count / Sample)) + 1);
                                             if (literalImeiScan(imeiRecords, candidate))
                                                 std::printf("impossible\n");
                                         }
                                     },
                                     3) *
                                 (double(Count) / Sample);
    print("generate_imei_pool", imeiMs, "ms");
    print("generate_imei_pool_literal", imeiLiteralMs, "ms");
    print("generate_imei_pool_sets", imeiTotal, "sets");

    // The custom MBSN series: 10,000 values, every other one recorded.
    s.MbsnInitNum = QStringLiteral("MB000000000000000");
    s.MbsnMaskNum = QStringLiteral("00000000000******");
    s.Mbsnlen = 17;
    s.MbsnMaxNum = Count;
    s.MbsnCheckRepetitive = true;
    IdentityPool serialPool;
    int serialTotal = 0;
    const double serialMs = medianMs([&] {
        serialPool.reset();
        SerialGenerator::generateSerialPool(s, RunMbsn, serialPool, issued, frontEnd);
        serialTotal = serialPool.total;
    });
    const double serialLiteralMs = medianMs(
                                       [&] {
                                           for (int i = 0; i < Sample; ++i) {
                                               const QString candidate = QStringLiteral("MB%1").arg(
                                                   i * (Count / Sample) + 1, 15, 10, QLatin1Char('0'));
                                               if (literalListSearch(mbsns, candidate))
                                                   std::printf("impossible\n");
                                           }
                                       },
                                       3) *
                                   (double(Count) / Sample);
    print("generate_serial_pool", serialMs, "ms");
    print("generate_serial_pool_literal", serialLiteralMs, "ms");
    print("generate_serial_pool_values", serialTotal, "values");

    // Bluetooth range mode: the first 10,000 addresses of the range are recorded.
    s.BTIsAutoAddr = true;
    s.BTCheckRepetitive = true;
    s.BTInitAddr = BtAddressGenerator::hexAddress(0x002715000000ULL);
    s.BTEndAddr = QStringLiteral("020203040508");
    IdentityPool btPool;
    QString issuedAddress;
    const double btMs = medianMs([&] {
        s.BTCurrentAddr = s.BTInitAddr;
        BtAddressGenerator::takeBtAddress(s, btPool, issued, frontEnd);
        issuedAddress = s.currentBt;
    });
    const double btLiteralMs =
        medianMs(
            [&] {
                for (int i = 0; i < Sample; ++i) {
                    const quint64 address = 0x002715000000ULL + quint64(i * (Count / Sample));
                    if (!literalListSearch(bts, BtAddressGenerator::hexAddress(address)))
                        std::printf("impossible\n");
                }
            },
            3) *
            (double(Count) / Sample) +
        medianMs([&] { sink = literalListSearch(bts, BtAddressGenerator::hexAddress(0x002715000000ULL + Count)); }, 3);
    print("bt_range_skip_10000", btMs, "ms");
    print("bt_range_skip_10000_literal", btLiteralMs, "ms");
    std::printf("bt_range_skip_issued: %s\n", qPrintable(issuedAddress));

    // One allocation in pool mode of all four kinds. Clock mode for the address: no counter moves.
    s.RunType = RunImei | RunMbsn | RunPsn | RunBt;
    s.imeiInputTypes = {InputCustom, InputCustom, InputCustom, InputCustom};
    s.ImeiNum = 2;
    s.NextAdd = true;
    s.MbsnInputType = InputCustom;
    s.PsnInputType = InputCustom;
    s.PsnInitNum = QStringLiteral("PS000000000000000000");
    s.PsnMaskNum = QStringLiteral("00000000000000******");
    s.Psnlen = 20;
    s.PsnMaxNum = Count;
    s.PsnCheckRepetitive = true;
    s.BTInputType = InputAutoGeneration;
    s.BTIsAutoAddr = false;
    IdentityAllocator allocator(s, frontEnd, issued);
    allocator.prepareIdentityPools();
    std::vector<double> allocations;
    for (int i = 0; i < 1000; ++i) {
        s.clearCurrentIdentities(true);
        QElapsedTimer timer;
        timer.start();
        if (!allocator.allocateIdentities())
            break;
        allocations.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    print("allocate_pool_mode", allocations.empty() ? -1.0 : median(allocations), "ms");
    // The one duplicate test of such an allocation that is not prepared in advance: the clock address.
    const double allocateLiteralMs = medianMs([&] { sink = literalListSearch(bts, QStringLiteral("123405103015")); });
    print("allocate_pool_mode_literal", allocateLiteralMs, "ms");

    // The same with the address range: its counter reaches the settings file before the set is handed out.
    s.BTIsAutoAddr = true;
    s.BTCurrentAddr = BtAddressGenerator::hexAddress(0x002715000000ULL + Count);
    allocator.prepareIdentityPools();
    allocations.clear();
    for (int i = 0; i < 200; ++i) {
        s.clearCurrentIdentities(true);
        QElapsedTimer timer;
        timer.start();
        if (!allocator.allocateIdentities())
            break;
        allocations.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    print("allocate_pool_mode_bt_range_saved", allocations.empty() ? -1.0 : median(allocations), "ms");
    // What that save costs by itself, the address moved each time: the file and its folder flushed to disk.
    quint64 address = 0x002716000000ULL;
    print("save_counters", medianMs([&] {
              s.BTCurrentAddr = BtAddressGenerator::hexAddress(address++);
              sink = s.saveCounters();
          }),
          "ms");
    return 0;
}

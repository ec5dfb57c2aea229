// The IMEI history file reader: the records it keeps against the plain line rules, and its index against a
// literal scan of those records.
#include "FuzzTarget.h"
#include "FuzzWorkDir.h"
#include "HistoryOracle.h"

#include "history/HistoryFiles.h"
#include "history/ImeiHistory.h"

#include <QStringList>

namespace {

bool literalScan(const ImeiHistory &history, const QString &candidate)
{
    for (qsizetype i = 0; i < history.size(); ++i) {
        if (history.at(i).imeis.contains(candidate))
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString path = FuzzWorkDir::path(QStringLiteral("imei_history.data"));
    FUZZ_CHECK(FuzzWorkDir::writeFile(path, text));
    ImeiHistory history;
    FUZZ_CHECK(readImeiHistory(path, history));
    FUZZ_CHECK(history.size() <= text.count('\n') + 1);

    if (!text.contains('\r')) {
        const auto expected = HistoryOracle::imeiRecords(text);
        FUZZ_CHECK(history.size() == expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i) {
            const ImeiHistoryRecord record = history.at(i);
            FUZZ_CHECK(record.dateTime == QString::fromLocal8Bit(expected[i].first));
            FUZZ_CHECK(record.imeis == QString::fromLocal8Bit(expected[i].second));
        }
    }

    // Every IMEI the history holds is found, and any other text is found exactly when a record holds it.
    QStringList candidates;
    for (qsizetype i = 0; i < history.size() && i < 64; ++i)
        candidates += history.at(i).imeis.split(QLatin1Char(','));
    for (qsizetype pos = 0; pos + 15 <= text.size() && candidates.size() < 256; pos += 7)
        candidates.append(QString::fromLocal8Bit(text.mid(pos, 15)));
    candidates += {QStringLiteral("490154203237518"), QStringLiteral("000000000000000"), QString()};
    for (const QString &candidate : candidates)
        FUZZ_CHECK(history.contains(candidate) == literalScan(history, candidate));
    return 0;
}

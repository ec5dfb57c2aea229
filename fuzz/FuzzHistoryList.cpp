// The MBSN, PSN and Bluetooth history reader: the values it keeps against the plain line rules, and its
// membership test against a literal comparison.
#include "FuzzTarget.h"
#include "FuzzWorkDir.h"
#include "HistoryOracle.h"

#include "history/HistoryFiles.h"
#include "history/HistoryList.h"

#include <QStringList>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString path = FuzzWorkDir::path(QStringLiteral("mbsn_history.data"));
    FUZZ_CHECK(FuzzWorkDir::writeFile(path, text));
    HistoryList list;
    FUZZ_CHECK(readHistoryList(path, list, HistoryMbsn));
    QStringList kept;
    for (qsizetype i = 0; i < list.size(); ++i)
        kept.append(list.at(i));

    if (!text.contains('\r')) {
        QStringList expected;
        for (const QByteArray &value : HistoryOracle::listValues(text))
            expected.append(QString::fromLocal8Bit(value));
        FUZZ_CHECK(kept == expected);
    }

    QStringList candidates = kept.mid(0, 64);
    for (const QString &value : kept.mid(0, 16)) {
        candidates.append(value.left(value.size() - 1)); // a prefix is not a member
        candidates.append(value.toLower());
    }
    candidates.append(QString());
    for (const QString &candidate : candidates)
        FUZZ_CHECK(list.contains(candidate) == kept.contains(candidate, Qt::CaseSensitive));
    return 0;
}

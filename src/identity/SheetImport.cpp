#include "identity/SheetImport.h"

#include "config/ToolSettings.h"
#include "history/HistoryFiles.h"
#include "identity/IdentityFrontEnd.h"
#include "identity/IdentityPool.h"
#include "identity/Imei.h"
#include "identity/ImeiPool.h"
#include "identity/ImeiRules.h"
#include "identity/IssuedIdentities.h"
#include "identity/SerialNumber.h"
#include "workbook/WorkbookReader.h"

#include <QFileInfo>
#include <QSet>

namespace {

constexpr int FirstRowCandidates = 3;
const QString ImeiColumns = QStringLiteral("ABCD");

QString cellName(QChar column, int row)
{
    return column + QString::number(row);
}

bool allDigits(const QString &text)
{
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

// Lets the window repaint and answer while a long sheet is read.
void letEventsThrough()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

} // namespace

std::unique_ptr<WorkbookReader> SheetImport::openSheet(const QString &path, const QString &sheet,
                                                       IdentityFrontEnd &frontEnd, int &firstRow)
{
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        frontEnd.criticalBox(tr("The source file does not exist!"));
        return nullptr;
    }
    std::unique_ptr<WorkbookReader> reader = WorkbookReader::open(path);
    if (!reader) {
        frontEnd.warningBox(tr("Read excel file error!"));
        return nullptr;
    }
    switch (reader->selectSheet(sheet)) {
    case WorkbookReader::SheetStatus::Found:
        break;
    case WorkbookReader::SheetStatus::Missing:
        frontEnd.warningBox(tr("Not find the string sheet in the excel file!"));
        return nullptr;
    case WorkbookReader::SheetStatus::Damaged:
        frontEnd.warningBox(tr("Read excel file error!"));
        return nullptr;
    }
    for (int row = 1; row <= FirstRowCandidates; ++row) {
        QString text;
        if (!reader->cellText(cellName(u'A', row), text)) {
            frontEnd.warningBox(tr("Read excel file error!"));
            return nullptr;
        }
        if (!text.isEmpty()) {
            firstRow = row;
            return reader;
        }
    }
    frontEnd.warningBox(tr("Empty file or the format of file is error!"));
    return nullptr;
}

bool SheetImport::importSerialsFromSheet(const ToolSettings &settings, IdentityFrontEnd &frontEnd,
                                         const IssuedIdentities &issued, int maxCount, IdentityPool &pool, int kind)
{
    const int limit = qBound(0, maxCount, IdentityPool::Capacity);
    return serialRows(
        settings, frontEnd, issued, kind, [&] { return pool.total >= limit; },
        [&](const QStringList &values) { pool.values[pool.total++] = values.first(); });
}

bool SheetImport::readSerials(const ToolSettings &settings, IdentityFrontEnd &frontEnd, const IssuedIdentities &issued,
                              int kind, const TakeSet &take)
{
    return serialRows(
        settings, frontEnd, issued, kind, [] { return false; }, take);
}

bool SheetImport::serialRows(const ToolSettings &settings, IdentityFrontEnd &frontEnd, const IssuedIdentities &issued,
                             int kind, const IsFull &full, const TakeSet &take)
{
    const bool mbsn = kind == HistoryMbsn;
    if (!mbsn && kind != HistoryPsn)
        return false;
    const QString sheet = mbsn ? QStringLiteral("MBSN") : QStringLiteral("PSN");
    const bool checkRepeats = mbsn ? settings.MbsnCheckRepetitive : settings.PsnCheckRepetitive;
    const int length = mbsn ? settings.Mbsnlen : settings.Psnlen;

    int row = 0;
    const std::unique_ptr<WorkbookReader> reader =
        openSheet(mbsn ? settings.MbsnFromFile : settings.PsnFromFile, sheet, frontEnd, row);
    if (!reader)
        return false;

    QSet<QString> taken;
    for (;; ++row) {
        QString value;
        if (!reader->cellText(cellName(u'A', row), value)) {
            frontEnd.warningBox(tr("Read excel file error!"));
            return false;
        }
        if (value.isEmpty() || full())
            return true;
        QString why;
        if (!SerialNumber::parse(value, &why)) {
            frontEnd.logLine(mbsn ? tr("The %1th MBSN in excel file is invalid: %2").arg(row).arg(why)
                                  : tr("The %1th PSN in excel file is invalid: %2").arg(row).arg(why),
                             LineColour::Error);
        } else if (checkRepeats && (taken.contains(value) || issued.isIssued(kind, value))) {
            frontEnd.logLine(mbsn ? tr("The %1th MBSN in excel file is repeated with previous!").arg(row)
                                  : tr("The %1th PSN in excel file is repeated with previous!").arg(row),
                             LineColour::Error);
        } else if (value.size() != length) {
            frontEnd.logLine(mbsn ? tr("The length of the %1th MBSN in excel file is invalid!").arg(row)
                                  : tr("The length of the %1th PSN in excel file is invalid!").arg(row),
                             LineColour::Error);
        } else {
            take({value});
            taken.insert(value);
        }
        letEventsThrough();
    }
}

bool SheetImport::importImeisFromSheet(const ToolSettings &settings, IdentityFrontEnd &frontEnd,
                                       const IssuedIdentities &issued, int maxCount, ImeiPool &pool)
{
    const int limit = qBound(0, maxCount, ImeiPool::Capacity);
    return imeiRows(
        settings, frontEnd, issued, [&] { return pool.total >= limit; },
        [&](const QStringList &set) {
            for (int list = 0; list < ImeiPool::Lists; ++list)
                pool.lists[list][pool.total] = set.at(list);
            ++pool.total;
        });
}

bool SheetImport::readImeiSets(const ToolSettings &settings, IdentityFrontEnd &frontEnd, const IssuedIdentities &issued,
                               const TakeSet &take)
{
    return imeiRows(
        settings, frontEnd, issued, [] { return false; }, take);
}

bool SheetImport::imeiRows(const ToolSettings &settings, IdentityFrontEnd &frontEnd, const IssuedIdentities &issued,
                           const IsFull &full, const TakeSet &take)
{
    int row = 0;
    const std::unique_ptr<WorkbookReader> reader =
        openSheet(settings.ImeiFromFile, QStringLiteral("IMEI"), frontEnd, row);
    if (!reader)
        return false;

    QIODevice *log = frontEnd.adjustmentLog();
    QSet<QString> taken;
    // The completed (14 digits) or repaired (15) IMEI; empty, with `why` when it can say more, for any other
    // cell, which would otherwise become an IMEI made up by the completion or cut to length.
    const auto adjusted = [log](const QString &text, bool rawNumber, QString &why) {
        why.clear();
        const QString digits = text.trimmed();
        if (digits.isEmpty() || !allDigits(digits))
            return QString();
        // A number whose format is not read may show other digits (a leading zero): only a whole IMEI is taken.
        if (rawNumber && digits.size() != Imei::Length) {
            why = tr("the number %1 is not 15 digits (the number formats of .xls workbooks are not read: store "
                     "IMEIs there as text)")
                      .arg(digits);
            return QString();
        }
        if (digits.size() != Imei::Length && digits.size() != Imei::Length - 1) {
            why = tr("%1 has %2 digits, an IMEI 15 (or 14 before its check digit)").arg(digits).arg(digits.size());
            return QString();
        }
        return adjustImei(digits, log);
    };
    const auto isRepeated = [&](const QString &imei) {
        return settings.ImeiCheckRepetitive && (taken.contains(imei) || issued.isIssued(RunImei, imei));
    };
    const auto refuse = [&](const QString &message) {
        frontEnd.logLine(message.arg(row), LineColour::Error);
        letEventsThrough();
    };
    const auto refuseInvalid = [&](const QString &why) {
        if (why.isEmpty()) {
            refuse(tr("The imei of %1th line in excel file is invalid!"));
            return;
        }
        frontEnd.logLine(tr("The imei of %1th line in excel file is invalid: %2").arg(row).arg(why), LineColour::Error);
        letEventsThrough();
    };

    for (;; ++row) {
        QString text;
        bool rawNumber = false;
        if (!reader->cellText(cellName(u'A', row), text, &rawNumber)) {
            frontEnd.warningBox(tr("Read excel file error!"));
            return false;
        }
        if (text.isEmpty() || full())
            return true;
        QString why;
        const QString first = adjusted(text, rawNumber, why);
        if (first.isEmpty()) {
            refuseInvalid(why);
            continue;
        }
        if (isRepeated(first)) {
            refuse(tr("The imei of %1th line in excel file is repeated with previous!"));
            continue;
        }
        QStringList set{first};
        taken.insert(first);

        bool complete = true;
        for (int column = 1; column < ImeiPool::Lists && complete; ++column) {
            if (!reader->cellText(cellName(ImeiColumns.at(column), row), text, &rawNumber)) {
                frontEnd.warningBox(tr("Read excel file error!"));
                return false;
            }
            if (text.isEmpty()) {
                set.append(first);
                continue;
            }
            const QString imei = adjusted(text, rawNumber, why);
            if (imei.isEmpty()) {
                refuseInvalid(why);
                complete = false;
            } else if (isRepeated(imei)) {
                refuse(tr("The imei of %1th line in excel file is repeated with previous!"));
                complete = false;
            } else {
                set.append(imei);
                taken.insert(imei);
            }
        }
        if (complete) {
            take(set);
            letEventsThrough();
        }
    }
}

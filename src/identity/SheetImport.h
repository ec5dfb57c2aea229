#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class IdentityFrontEnd;
class IdentityPool;
class ImeiPool;
class IssuedIdentities;
class ToolSettings;
class WorkbookReader;

// Fills a pool from a workbook: IMEI sets from the sheet "IMEI" (columns A to D), MBSN or PSN values from
// the sheet "MBSN" or "PSN" (column A). Rows are read from the first non-empty cell of A1 to A3 down to the
// first empty cell of column A, or until the pool holds `maxCount` entries; refused rows are reported one
// error line each and skipped. Runs on the window's thread and lets its events through after every row.
//
// The result is false after a message box (missing file, missing sheet, empty sheet, damaged workbook); rows
// taken before a failure stay in the pool.
class SheetImport final
{
    Q_DECLARE_TR_FUNCTIONS(SheetImport)

public:
    static bool importImeisFromSheet(const ToolSettings &settings, IdentityFrontEnd &frontEnd,
                                     const IssuedIdentities &issued, int maxCount, ImeiPool &pool);
    // `kind` is HistoryMbsn or HistoryPsn.
    static bool importSerialsFromSheet(const ToolSettings &settings, IdentityFrontEnd &frontEnd,
                                       const IssuedIdentities &issued, int maxCount, IdentityPool &pool, int kind);

    // The same reading, checks and reports, into `take` instead of a pool and without its bound: each IMEI set
    // as the pool's lists hold it (four IMEIs, a missing one repeating the first), or each MBSN or PSN value.
    // The ledger's owner reads a line's pool through it (ledger add-pool).
    using TakeSet = std::function<void(const QStringList &values)>;
    static bool readImeiSets(const ToolSettings &settings, IdentityFrontEnd &frontEnd, const IssuedIdentities &issued,
                             const TakeSet &take);
    static bool readSerials(const ToolSettings &settings, IdentityFrontEnd &frontEnd, const IssuedIdentities &issued,
                            int kind, const TakeSet &take);

private:
    using IsFull = std::function<bool()>;
    static bool imeiRows(const ToolSettings &settings, IdentityFrontEnd &frontEnd, const IssuedIdentities &issued,
                         const IsFull &full, const TakeSet &take);
    static bool serialRows(const ToolSettings &settings, IdentityFrontEnd &frontEnd, const IssuedIdentities &issued,
                           int kind, const IsFull &full, const TakeSet &take);

    // The steps both imports share: the file, the sheet and the first row. Null after a message box.
    static std::unique_ptr<WorkbookReader> openSheet(const QString &path, const QString &sheet,
                                                     IdentityFrontEnd &frontEnd, int &firstRow);
};

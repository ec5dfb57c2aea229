#pragma once

#include <QString>
#include <QStringView>

#include <memory>

// Reads the cells of a workbook's sheets as the spreadsheet shows them. One implementation per file format;
// `open` picks it by the file's first bytes, whatever its name ends in.
//
// Every method fails softly: a damaged, truncated, encrypted or oversized workbook gives false (or
// `SheetStatus::Damaged`), never a crash, a hang or an unbounded allocation.
class WorkbookReader
{
public:
    enum class SheetStatus
    {
        Found,
        Missing,
        Damaged,
    };

    // Limits that hold for every format.
    static constexpr int MaxColumns = 16384;    // the widest sheet a spreadsheet allows ("XFD")
    static constexpr int MaxRows = 1 << 24;     // beyond any format's rows; a row number above it is damage
    static constexpr int MaxCellChars = 32767;  // the longest text a cell holds
    static constexpr int MaxRowChars = 1 << 20; // the text of one row, all cells together
    static constexpr qint64 MaxPartBytes = qint64(512) << 20; // one uncompressed part (sheet, strings, styles)

    virtual ~WorkbookReader() = default;

    // Null when the file cannot be read, or is damaged beyond opening.
    static std::unique_ptr<WorkbookReader> open(const QString &path);

    // Makes the named sheet the one that `cellText` reads. Sheet names match without regard to case, as
    // spreadsheets treat them.
    virtual SheetStatus selectSheet(const QString &name) = 0;

    // The displayed text of a cell of the selected sheet, by its name ("A1", "D12"); empty for an empty
    // cell or one outside the sheet's data. False when the workbook turns out damaged, or no sheet is
    // selected, or the name is not a cell name. `rawNumber`, when given, tells a number cell whose number format
    // the reader cannot see: its text is the number's own digits, which may not be what the spreadsheet shows.
    bool cellText(QStringView cellName, QString &text, bool *rawNumber = nullptr);

    // "A1" -> row 1, column 1; "AB10" -> row 10, column 28. False for anything else.
    static bool parseCellName(QStringView cellName, int &row, int &column);

protected:
    WorkbookReader() = default;
    // 1-based row and column, both within the limits above.
    virtual bool readCell(int row, int column, QString &text) = 0;
    // Whether the cell `readCell` last gave is a number shown without its number format.
    virtual bool lastCellIsRawNumber() const { return false; }
};

#pragma once

#include "workbook/WorkbookReader.h"

#include <QVector>

// A sheet read front to back, one row at a time, keeping only the row last read: the memory a sheet takes
// does not grow with its length. Reading moves forward; a cell above the rows already passed rewinds.
class StreamedSheetReader : public WorkbookReader
{
protected:
    enum class RowResult
    {
        Row,
        End,
        Damaged,
    };

    // Back to the first row of the selected sheet; false when it cannot be read again.
    virtual bool rewindSheet() = 0;
    // The next row that has any cells: its 1-based number (ascending) and its cells from column A on.
    virtual RowResult nextRow(int &rowNumber, QVector<QString> &cells) = 0;

    // After a sheet was selected (or failed to be).
    void startSheet(bool ready);
    bool readCell(int row, int column, QString &text) override;

private:
    bool m_ready = false;
    bool m_atEnd = false;
    int m_passedRow = 0; // the row read before the kept one
    int m_row = 0;       // the kept row; 0 before the first
    QVector<QString> m_cells;
};

#include "workbook/StreamedSheetReader.h"

void StreamedSheetReader::startSheet(bool ready)
{
    m_ready = ready;
    m_atEnd = false;
    m_passedRow = 0;
    m_row = 0;
    m_cells.clear();
}

bool StreamedSheetReader::readCell(int row, int column, QString &text)
{
    if (!m_ready)
        return false;
    if (row < m_row) {
        if (row > m_passedRow)
            return true; // a row without cells between two rows read
        if (!rewindSheet()) {
            m_ready = false;
            return false;
        }
        startSheet(true);
    }
    while (!m_atEnd && m_row < row) {
        int number = 0;
        QVector<QString> cells;
        switch (nextRow(number, cells)) {
        case RowResult::Damaged:
            m_ready = false;
            return false;
        case RowResult::End:
            m_atEnd = true;
            break;
        case RowResult::Row:
            if (number <= m_row || number > MaxRows) {
                m_ready = false; // rows out of order: the sheet is damaged
                return false;
            }
            m_passedRow = m_row;
            m_row = number;
            m_cells = std::move(cells);
            break;
        }
    }
    if (m_row == row && column <= m_cells.size())
        text = m_cells.at(column - 1);
    return true;
}

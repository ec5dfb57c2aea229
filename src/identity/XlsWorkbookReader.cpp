#include "identity/XlsWorkbookReader.h"

#include "identity/CellNumberFormat.h"

#include <QFile>
#include <QFileInfo>

#include <freexl.h>

XlsWorkbookReader::~XlsWorkbookReader()
{
    if (m_handle)
        freexl_close(m_handle);
}

bool XlsWorkbookReader::load(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > MaxFileBytes)
        return false;
    const QByteArray nativePath = QFile::encodeName(path);
    const void *handle = nullptr;
    if (freexl_open(nativePath.constData(), &handle) != FREEXL_OK) {
        if (handle)
            freexl_close(handle);
        return false;
    }
    m_handle = handle;
    unsigned int protection = 0;
    if (freexl_get_info(m_handle, FREEXL_BIFF_PASSWORD, &protection) != FREEXL_OK
        || protection == FREEXL_BIFF_OBFUSCATED)
        return false; // an encrypted workbook
    return true;
}

WorkbookReader::SheetStatus XlsWorkbookReader::selectSheet(const QString &name)
{
    m_selected = false;
    unsigned int count = 0;
    if (freexl_get_info(m_handle, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK)
        return SheetStatus::Damaged;
    int found = -1;
    for (unsigned int i = 0; i < count && i < 0xFFFF; ++i) {
        const char *utf8 = nullptr;
        if (freexl_get_worksheet_name(m_handle, (unsigned short)i, &utf8) != FREEXL_OK || !utf8)
            return SheetStatus::Damaged;
        const QString sheet = QString::fromUtf8(utf8);
        if (sheet == name) {
            found = int(i);
            break;
        }
        if (found < 0 && sheet.compare(name, Qt::CaseInsensitive) == 0)
            found = int(i);
    }
    if (found < 0)
        return SheetStatus::Missing;
    if (freexl_select_active_worksheet(m_handle, (unsigned short)found) != FREEXL_OK
        || freexl_worksheet_dimensions(m_handle, &m_rows, &m_columns) != FREEXL_OK)
        return SheetStatus::Damaged;
    m_selected = true;
    return SheetStatus::Found;
}

bool XlsWorkbookReader::readCell(int row, int column, QString &text)
{
    if (!m_selected)
        return false;
    if (unsigned(row) > m_rows || unsigned(column) > m_columns)
        return true;
    FreeXL_CellValue value;
    if (freexl_get_cell_value(m_handle, unsigned(row - 1), (unsigned short)(column - 1), &value) != FREEXL_OK)
        return false;
    switch (value.type) {
    case FREEXL_CELL_INT:
        text = QString::number(value.value.int_value);
        break;
    case FREEXL_CELL_DOUBLE:
        text = CellNumberFormat::general(value.value.double_value);
        break;
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME:
        text = QString::fromUtf8(value.value.text_value);
        if (text.size() > MaxCellChars)
            return false;
        break;
    default:
        break; // an empty cell
    }
    return true;
}

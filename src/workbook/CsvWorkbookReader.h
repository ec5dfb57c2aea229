#pragma once

#include "workbook/StreamedSheetReader.h"

#include <QFile>

// Text workbooks in UTF-8, cells separated by commas or semicolons (whichever the first line with text uses
// more), quoted as usual ("a ""b""" for a "b"). A file is one sheet named like the file: the sheet "MBSN"
// is the file itself when that is MBSN.csv, otherwise MBSN.csv beside it. Every record, an empty line too,
// is one row.
class CsvWorkbookReader final : public StreamedSheetReader
{
public:
    bool load(const QString &path);
    SheetStatus selectSheet(const QString &name) override;

protected:
    bool rewindSheet() override;
    RowResult nextRow(int &rowNumber, QVector<QString> &cells) override;

private:
    // The next byte of the sheet, or -1 at its end or on a read error (`m_readFailed`).
    int nextByte();
    int peekByte();
    bool fillBuffer();
    char detectSeparator();

    QString m_path;
    QFile m_sheet;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    bool m_readFailed = false;
    char m_separator = ',';
    int m_rowNumber = 0;
};

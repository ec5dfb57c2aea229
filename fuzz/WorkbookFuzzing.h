#pragma once

// Shared by the workbook reader fuzz targets: each input is written to a file (the readers open files) and read
// the way the import reads it. A cell read again after the reader moved on must read the same (streamed sheets
// rewind for it).

#include "FuzzTarget.h"
#include "FuzzWorkDir.h"

#include "workbook/WorkbookReader.h"

#include <QByteArray>
#include <QString>

template <typename Reader> int fuzzWorkbookReader(const uint8_t *data, size_t size, const char *fileName)
{
    const QString path = FuzzWorkDir::path(QLatin1String(fileName));
    FUZZ_CHECK(FuzzWorkDir::writeFile(path, QByteArray(reinterpret_cast<const char *>(data), qsizetype(size))));
    Reader reader;
    if (!reader.load(path))
        return 0;
    static const char *const sheets[] = {"IMEI", "MBSN", "Cells"};
    static const char columns[] = "BCDE";
    for (const char *sheet : sheets) {
        if (reader.selectSheet(QLatin1String(sheet)) != WorkbookReader::SheetStatus::Found)
            continue;
        QString first;
        if (!reader.cellText(u"B1", first))
            continue;
        QString text;
        for (int row = 1; row <= 2000; ++row) {
            if (!reader.cellText(QStringLiteral("A%1").arg(row), text))
                return 0;
            if (row > 3 && text.isEmpty())
                break;
            for (const char *column = columns; *column; ++column) {
                if (!reader.cellText(QString(QLatin1Char(*column) + QString::number(row)), text))
                    return 0;
            }
        }
        if (reader.cellText(u"B1", text))
            FUZZ_CHECK(text == first);
    }
    return 0;
}

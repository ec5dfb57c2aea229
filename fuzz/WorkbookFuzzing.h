#pragma once

// Shared by the workbook reader fuzz targets: each input is written to a file (FreeXL and libzip read files)
// and read the way the import reads it, plus a step back that makes streamed sheets rewind.

#include "identity/WorkbookReader.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

template<typename Reader>
int fuzzWorkbookReader(const uint8_t *data, size_t size, const char *fileName)
{
    // Memory-backed where the system has it: writing a file to disk for every input is slower than reading it.
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/workbook-fuzz-XXXXXX")
                                                                        : QDir::tempPath() + QStringLiteral("/workbook-fuzz-XXXXXX"));
    const QString path = dir.filePath(QLatin1String(fileName));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    Reader reader;
    if (!reader.load(path))
        return 0;
    static const char *const sheets[] = {"IMEI", "MBSN", "Cells"};
    static const char columns[] = "ABCDE";
    for (const char *sheet : sheets) {
        if (reader.selectSheet(QLatin1String(sheet)) != WorkbookReader::SheetStatus::Found)
            continue;
        QString text;
        for (int row = 1; row <= 2000; ++row) {
            if (!reader.cellText(QStringLiteral("A%1").arg(row), text))
                return 0;
            if (row > 3 && text.isEmpty())
                break;
            for (const char *column = columns + 1; *column; ++column) {
                if (!reader.cellText(QString(QLatin1Char(*column) + QString::number(row)), text))
                    return 0;
            }
        }
        reader.cellText(QStringLiteral("B2"), text);
    }
    return 0;
}

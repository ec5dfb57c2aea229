#pragma once

#include "workbook/WorkbookReader.h"

#include <QHash>
#include <QSet>
#include <QVector>

// Binary workbooks (.xls, the compound-file format of spreadsheets up to 2003), read through FreeXL in the
// helper program xlscells beside the tool: FreeXL reads past its buffers on some damaged workbooks, and a
// process of its own keeps that from the tool. The helper's time, memory and output are bounded.
//
// FreeXL gives no number format codes: dates and times come as FreeXL writes them ("2024-03-01",
// "13:45:00"); any other number shows its digits when integral and up to 15 significant digits otherwise, and
// is told to the caller as a raw number: a format may show it otherwise (leading zeros, literal text).
class XlsWorkbookReader final : public WorkbookReader
{
public:
    static constexpr qint64 MaxFileBytes = qint64(128) << 20;
    static constexpr qint64 MaxOutputBytes = qint64(256) << 20;
    static constexpr int TimeoutMs = 30000;
    static constexpr qint64 MaxHelperMemory = qint64(2) << 30;

    // Where xlscells is: beside the application by default.
    static void setHelperProgram(const QString &path);
    static QString helperProgram();

    bool load(const QString &path);
    SheetStatus selectSheet(const QString &name) override;

protected:
    bool readCell(int row, int column, QString &text) override;
    bool lastCellIsRawNumber() const override { return m_lastRawNumber; }

private:
    bool parse(const QByteArray &output);

    QStringList m_sheetNames;
    QVector<QHash<quint64, QString>> m_sheets; // cells by row << 16 | column
    QVector<QSet<quint64>> m_numbers;          // the number cells among them
    bool m_lastRawNumber = false;
    int m_selected = -1;
};

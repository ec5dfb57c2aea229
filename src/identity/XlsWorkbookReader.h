#pragma once

#include "identity/WorkbookReader.h"

// Binary workbooks (.xls, the compound-file format of spreadsheets up to 2003), read through FreeXL.
// FreeXL gives no number format codes: dates and times come as FreeXL writes them ("2024-03-01",
// "13:45:00"); any other number shows its digits when integral and up to 15 significant digits otherwise.
class XlsWorkbookReader final : public WorkbookReader
{
public:
    // The largest file read: more than any sheet of identities needs, and bounds what FreeXL loads.
    static constexpr qint64 MaxFileBytes = qint64(128) << 20;

    XlsWorkbookReader() = default;
    ~XlsWorkbookReader() override;
    XlsWorkbookReader(const XlsWorkbookReader &) = delete;
    XlsWorkbookReader &operator=(const XlsWorkbookReader &) = delete;

    bool load(const QString &path);
    SheetStatus selectSheet(const QString &name) override;

protected:
    bool readCell(int row, int column, QString &text) override;

private:
    const void *m_handle = nullptr;
    bool m_selected = false;
    unsigned int m_rows = 0;
    unsigned short m_columns = 0;
};

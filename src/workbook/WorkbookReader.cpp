#include "workbook/WorkbookReader.h"

#include "workbook/CsvWorkbookReader.h"
#include "workbook/XlsWorkbookReader.h"
#include "workbook/XlsxWorkbookReader.h"

#include <QFile>

namespace {

enum class Format
{
    Xls,
    Xlsx,
    Csv,
};

// The compound-file signature that .xls workbooks (and encrypted packages) start with, and the local
// file header of a zip container.
Format sniff(const QByteArray &head)
{
    static const char compound[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
    if (head.startsWith(QByteArray::fromRawData(compound, 8)))
        return Format::Xls;
    if (head.startsWith("PK\x03\x04") || head.startsWith("PK\x05\x06"))
        return Format::Xlsx;
    return Format::Csv;
}

} // namespace

std::unique_ptr<WorkbookReader> WorkbookReader::open(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    const QByteArray head = file.read(8);
    file.close();

    std::unique_ptr<WorkbookReader> reader;
    bool opened = false;
    switch (sniff(head)) {
    case Format::Xls: {
        auto xls = std::make_unique<XlsWorkbookReader>();
        opened = xls->load(path);
        reader = std::move(xls);
        break;
    }
    case Format::Xlsx: {
        auto xlsx = std::make_unique<XlsxWorkbookReader>();
        opened = xlsx->load(path);
        reader = std::move(xlsx);
        break;
    }
    case Format::Csv: {
        auto csv = std::make_unique<CsvWorkbookReader>();
        opened = csv->load(path);
        reader = std::move(csv);
        break;
    }
    }
    if (!opened)
        return nullptr;
    return reader;
}

bool WorkbookReader::cellText(QStringView cellName, QString &text, bool *rawNumber)
{
    int row = 0;
    int column = 0;
    if (rawNumber)
        *rawNumber = false;
    if (!parseCellName(cellName, row, column))
        return false;
    text.clear();
    if (!readCell(row, column, text))
        return false;
    if (rawNumber)
        *rawNumber = !text.isEmpty() && lastCellIsRawNumber();
    return true;
}

bool WorkbookReader::parseCellName(QStringView cellName, int &row, int &column)
{
    qsizetype i = 0;
    int col = 0;
    while (i < cellName.size()) {
        const char16_t c = cellName.at(i).unicode();
        const char16_t upper = (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
        if (upper < u'A' || upper > u'Z')
            break;
        col = col * 26 + (upper - u'A' + 1);
        if (col > MaxColumns)
            return false;
        ++i;
    }
    if (col == 0 || i == cellName.size())
        return false;
    qint64 r = 0;
    for (; i < cellName.size(); ++i) {
        const char16_t c = cellName.at(i).unicode();
        if (c < u'0' || c > u'9')
            return false;
        r = r * 10 + (c - u'0');
        if (r > MaxRows)
            return false;
    }
    if (r == 0)
        return false;
    row = int(r);
    column = col;
    return true;
}

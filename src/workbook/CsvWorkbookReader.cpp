#include "workbook/CsvWorkbookReader.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

namespace {

constexpr qint64 ChunkBytes = 64 * 1024;

bool decodeField(const QByteArray &bytes, QString &text)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    text = decoder.decode(bytes);
    return !decoder.hasError();
}

} // namespace

bool CsvWorkbookReader::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    m_path = path;
    return true;
}

WorkbookReader::SheetStatus CsvWorkbookReader::selectSheet(const QString &name)
{
    startSheet(false);
    m_sheet.close();
    const QFileInfo info(m_path);
    QString sheetPath;
    if (info.completeBaseName().compare(name, Qt::CaseInsensitive) == 0) {
        sheetPath = m_path;
    } else {
        const QDir dir = info.absoluteDir();
        const QString wanted = name + QStringLiteral(".csv");
        const QStringList entries = dir.entryList({QStringLiteral("*")}, QDir::Files | QDir::Readable);
        for (const QString &entry : entries) {
            if (entry.compare(wanted, Qt::CaseInsensitive) == 0) {
                sheetPath = dir.filePath(entry);
                if (entry == wanted)
                    break; // an exact match wins over one that differs in case
            }
        }
    }
    if (sheetPath.isEmpty())
        return SheetStatus::Missing;
    m_sheet.setFileName(sheetPath);
    if (!rewindSheet())
        return SheetStatus::Damaged;
    startSheet(true);
    return SheetStatus::Found;
}

bool CsvWorkbookReader::rewindSheet()
{
    m_sheet.close();
    if (!m_sheet.open(QIODevice::ReadOnly))
        return false;
    m_buffer.clear();
    m_pos = 0;
    m_readFailed = false;
    m_rowNumber = 0;
    if (!fillBuffer() && m_readFailed)
        return false;
    if (m_buffer.startsWith("\xEF\xBB\xBF"))
        m_pos = 3;
    m_separator = detectSeparator();
    return true;
}

bool CsvWorkbookReader::fillBuffer()
{
    if (m_pos < m_buffer.size())
        return true;
    m_buffer.resize(ChunkBytes);
    const qint64 got = m_sheet.read(m_buffer.data(), ChunkBytes);
    if (got < 0)
        m_readFailed = true;
    m_buffer.resize(qMax<qint64>(got, 0));
    m_pos = 0;
    return got > 0;
}

int CsvWorkbookReader::nextByte()
{
    if (!fillBuffer())
        return -1;
    return uchar(m_buffer.at(m_pos++));
}

int CsvWorkbookReader::peekByte()
{
    if (!fillBuffer())
        return -1;
    return uchar(m_buffer.at(m_pos));
}

// Looks at the first line with text in the first chunk: semicolons there outside quotes make the separator
// when they outnumber commas.
char CsvWorkbookReader::detectSeparator()
{
    int commas = 0;
    int semicolons = 0;
    bool quoted = false;
    for (qsizetype i = m_pos; i < m_buffer.size(); ++i) {
        const char c = m_buffer.at(i);
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && (c == '\n' || c == '\r')) {
            if (commas + semicolons > 0)
                break;
        } else if (!quoted && c == ',') {
            ++commas;
        } else if (!quoted && c == ';') {
            ++semicolons;
        }
    }
    return semicolons > commas ? ';' : ',';
}

StreamedSheetReader::RowResult CsvWorkbookReader::nextRow(int &rowNumber, QVector<QString> &cells)
{
    QByteArray field;
    bool quoted = false;    // inside quotes
    bool wasQuoted = false; // the field began with a quote
    bool any = false;       // something of this record was read
    qsizetype rowBytes = 0;

    const auto endField = [&]() -> bool {
        if (cells.size() >= MaxColumns || field.size() > MaxCellChars * 4)
            return false;
        QString text;
        if (!decodeField(field, text) || text.size() > MaxCellChars)
            return false;
        cells.append(text);
        field.clear();
        wasQuoted = false;
        return true;
    };

    for (;;) {
        const int c = nextByte();
        if (c < 0) {
            if (m_readFailed || quoted)
                return RowResult::Damaged; // a quote left open: the file was cut short
            if (!any)
                return RowResult::End;
            break;
        }
        any = true;
        if (c == 0 || ++rowBytes > MaxRowChars)
            return RowResult::Damaged; // text files hold no NUL; a longer row is not a sheet of identities
        if (quoted) {
            if (c == '"') {
                if (peekByte() == '"') {
                    nextByte();
                    field.append('"');
                } else {
                    quoted = false;
                }
            } else {
                field.append(char(c));
            }
        } else if (c == m_separator) {
            if (!endField())
                return RowResult::Damaged;
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && peekByte() == '\n')
                nextByte();
            break;
        } else if (c == '"' && field.isEmpty() && !wasQuoted) {
            quoted = true;
            wasQuoted = true;
        } else {
            field.append(char(c));
        }
    }
    if (!endField())
        return RowResult::Damaged;
    rowNumber = ++m_rowNumber;
    return RowResult::Row;
}

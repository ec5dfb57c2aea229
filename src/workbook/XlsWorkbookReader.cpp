#include "workbook/XlsWorkbookReader.h"

#include "workbook/CellNumberFormat.h"
#include "workbook/ChildMemoryLimit.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>

namespace {

constexpr quint32 MaxXlsRows = 65536; // the rows and columns of the format
constexpr quint32 MaxXlsColumns = 256;

QString &helperPath()
{
    static QString path;
    return path;
}

QString unescaped(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char c = text.at(i);
        if (c == '\\' && i + 1 < text.size()) {
            const char next = text.at(++i);
            c = next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : next;
        }
        out.append(c);
    }
    return QString::fromUtf8(out);
}

// "<number> " at the front of `line`, which then starts after the blank.
bool takeNumber(QByteArrayView &line, quint32 &number, quint32 limit)
{
    const qsizetype blank = line.indexOf(' ');
    bool ok = false;
    number = line.first(blank < 0 ? line.size() : blank).toUInt(&ok);
    line = blank < 0 ? QByteArrayView() : line.sliced(blank + 1);
    return ok && number <= limit;
}

} // namespace

void XlsWorkbookReader::setHelperProgram(const QString &path)
{
    helperPath() = path;
}

QString XlsWorkbookReader::helperProgram()
{
    if (!helperPath().isEmpty())
        return helperPath();
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("xlscells"));
}

bool XlsWorkbookReader::load(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > MaxFileBytes)
        return false;
    QProcess helper;
    helper.setProcessChannelMode(QProcess::SeparateChannels);
    helper.setStandardErrorFile(QProcess::nullDevice());
    ChildMemoryLimit limit(MaxHelperMemory);
    limit.prepare(helper);
    helper.start(helperProgram(), {info.absoluteFilePath()}, QIODevice::ReadOnly);
    if (!helper.waitForStarted(TimeoutMs))
        return false;
    limit.apply(helper);
    QByteArray output;
    QElapsedTimer clock;
    clock.start();
    const auto remainingMs = [&clock] { return int(qMax<qint64>(1, TimeoutMs - clock.elapsed())); };
    while (output.size() <= MaxOutputBytes && clock.elapsed() < TimeoutMs && helper.waitForReadyRead(remainingMs()))
        output += helper.readAll();
    if (output.size() <= MaxOutputBytes && helper.state() != QProcess::NotRunning)
        helper.waitForFinished(remainingMs());
    if (helper.state() != QProcess::NotRunning) {
        helper.kill(); // too slow, or too much to say
        helper.waitForFinished(-1);
        return false;
    }
    output += helper.readAll();
    if (helper.exitStatus() != QProcess::NormalExit || helper.exitCode() != 0)
        return false;
    return parse(output);
}

bool XlsWorkbookReader::parse(const QByteArray &output)
{
    int sheet = -1;
    bool ended = false;
    for (qsizetype start = 0; start < output.size();) {
        qsizetype end = output.indexOf('\n', start);
        if (end < 0)
            end = output.size();
        QByteArrayView line = QByteArrayView(output).sliced(start, end - start);
        start = end + 1;
        if (ended || line.isEmpty())
            continue;
        const char kind = line.at(0);
        line = line.sliced(qMin<qsizetype>(2, line.size()));
        quint32 index = 0;
        quint32 row = 0;
        quint32 column = 0;
        if (kind == 'E') {
            ended = true;
        } else if (kind == 'S') {
            if (!takeNumber(line, index, 0xFFFF) || index != quint32(m_sheetNames.size()))
                return false;
            m_sheetNames.append(unescaped(line));
            m_sheets.append(QHash<quint64, QString>());
            m_numbers.append(QSet<quint64>());
        } else if (kind == 'W') {
            if (!takeNumber(line, index, 0xFFFF) || index >= quint32(m_sheets.size()))
                return false;
            sheet = int(index);
        } else if (kind == 'I' || kind == 'D' || kind == 'T') {
            if (sheet < 0 || !takeNumber(line, row, MaxXlsRows) || !takeNumber(line, column, MaxXlsColumns) ||
                row == 0 || column == 0)
                return false;
            QString text;
            bool ok = true;
            if (kind == 'T')
                text = unescaped(line);
            else if (kind == 'I')
                text = QString::number(line.toLongLong(&ok));
            else
                text = CellNumberFormat::general(line.toDouble(&ok));
            if (!ok || text.size() > MaxCellChars)
                return false;
            const quint64 key = quint64(row) << 16 | column;
            m_sheets[sheet].insert(key, text);
            if (kind == 'T')
                m_numbers[sheet].remove(key);
            else
                m_numbers[sheet].insert(key);
        } else {
            return false;
        }
    }
    return ended; // without its end the helper stopped half-way
}

WorkbookReader::SheetStatus XlsWorkbookReader::selectSheet(const QString &name)
{
    m_selected = m_sheetNames.indexOf(name);
    if (m_selected < 0) {
        for (int i = 0; i < m_sheetNames.size() && m_selected < 0; ++i) {
            if (m_sheetNames.at(i).compare(name, Qt::CaseInsensitive) == 0)
                m_selected = i;
        }
    }
    return m_selected < 0 ? SheetStatus::Missing : SheetStatus::Found;
}

bool XlsWorkbookReader::readCell(int row, int column, QString &text)
{
    m_lastRawNumber = false;
    if (m_selected < 0)
        return false;
    if (quint32(row) <= MaxXlsRows && quint32(column) <= MaxXlsColumns) {
        const quint64 key = quint64(row) << 16 | quint64(column);
        text = m_sheets.at(m_selected).value(key);
        m_lastRawNumber = m_numbers.at(m_selected).contains(key);
    }
    return true;
}

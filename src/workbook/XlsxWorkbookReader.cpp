#include "workbook/XlsxWorkbookReader.h"

#include "workbook/CellNumberFormat.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QXmlStreamReader>

#include <zip.h>

namespace {

// One part of the container, inflated as it is read. Reading past `limit` bytes fails, so that a part that
// inflates without end (a zip bomb) ends as a damaged workbook.
class ZipPartDevice final : public QIODevice
{
public:
    ZipPartDevice(zip_file_t *file, qint64 limit) : m_file(file), m_limit(limit) { open(QIODevice::ReadOnly); }
    ~ZipPartDevice() override { zip_fclose(m_file); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (m_failed)
            return -1;
        const qint64 got = zip_fread(m_file, data, zip_uint64_t(maxSize));
        if (got < 0 || (m_read += got) > m_limit) {
            m_failed = true; // includes a checksum mismatch, reported at the part's end
            return -1;
        }
        return got;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    zip_file_t *m_file;
    qint64 m_limit;
    qint64 m_read = 0;
    bool m_failed = false;
};

const QString RelationshipsNs = QStringLiteral("http://schemas.openxmlformats.org/package/2006/relationships");

bool typeIs(QStringView type, QStringView last)
{
    return type.endsWith(QString(u'/' + last.toString()), Qt::CaseInsensitive);
}

// A relationship's target, relative to the folder of the part that holds the relationship.
QString resolvePart(const QString &folder, QStringView target)
{
    QStringList parts;
    if (!target.startsWith(u'/'))
        parts = folder.split(u'/', Qt::SkipEmptyParts);
    for (QStringView piece : target.split(u'/', Qt::SkipEmptyParts)) {
        if (piece == u"..") {
            if (!parts.isEmpty())
                parts.removeLast();
        } else if (piece != u".") {
            parts.append(piece.toString());
        }
    }
    return parts.join(u'/');
}

QString folderOf(const QString &part)
{
    const qsizetype slash = part.lastIndexOf(u'/');
    return slash < 0 ? QString() : part.left(slash);
}

// The "r:id" of a sheet: a namespaced attribute named "id", whichever prefix and namespace the writer chose.
QString relationshipId(const QXmlStreamAttributes &attributes)
{
    for (const QXmlStreamAttribute &attribute : attributes) {
        if (attribute.name() == u"id" && !attribute.namespaceUri().isEmpty())
            return attribute.value().toString();
    }
    return QString();
}

// The text of a shared or inline string: its own "t" elements and those of its runs, not phonetic hints.
bool readStringItem(QXmlStreamReader &xml, QString &text)
{
    while (xml.readNextStartElement()) {
        if (xml.name() == u"t") {
            text += xml.readElementText();
        } else if (xml.name() == u"r") {
            while (xml.readNextStartElement()) {
                if (xml.name() == u"t")
                    text += xml.readElementText();
                else
                    xml.skipCurrentElement();
            }
        } else {
            xml.skipCurrentElement();
        }
        if (text.size() > WorkbookReader::MaxCellChars)
            return false;
    }
    return !xml.hasError();
}

bool isTrue(QStringView value)
{
    return value == u"1" || value.compare(u"true", Qt::CaseInsensitive) == 0;
}

} // namespace

// The container read through a QFile: the path never goes to libzip as bytes, whose encoding it would have to
// guess (on Windows it takes UTF-8, where the system's code page is what a narrow path means elsewhere).
struct XlsxWorkbookReader::Container
{
    QFile file;
    zip_error_t error;

    static zip_int64_t call(void *state, void *data, zip_uint64_t length, zip_source_cmd_t command)
    {
        Container &c = *static_cast<Container *>(state);
        switch (command) {
        case ZIP_SOURCE_OPEN:
            return c.file.seek(0) ? 0 : c.fail();
        case ZIP_SOURCE_READ: {
            const qint64 got = c.file.read(static_cast<char *>(data), qint64(qMin<zip_uint64_t>(length, 1u << 30)));
            return got < 0 ? c.fail() : got;
        }
        case ZIP_SOURCE_CLOSE:
        case ZIP_SOURCE_FREE:
            return 0;
        case ZIP_SOURCE_STAT: {
            zip_stat_t *stat = static_cast<zip_stat_t *>(data);
            zip_stat_init(stat);
            stat->size = zip_uint64_t(c.file.size());
            stat->valid |= ZIP_STAT_SIZE;
            return sizeof *stat;
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&c.error, data, length);
        case ZIP_SOURCE_SEEK: {
            const zip_int64_t at = zip_source_seek_compute_offset(zip_uint64_t(c.file.pos()),
                                                                  zip_uint64_t(c.file.size()), data, length, &c.error);
            return at < 0 || !c.file.seek(at) ? -1 : 0;
        }
        case ZIP_SOURCE_TELL:
            return c.file.pos();
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL,
                                                  ZIP_SOURCE_SUPPORTS, -1);
        default:
            zip_error_set(&c.error, ZIP_ER_OPNOTSUPP, 0);
            return -1;
        }
    }

    zip_int64_t fail()
    {
        zip_error_set(&error, ZIP_ER_READ, 0);
        return -1;
    }
};

XlsxWorkbookReader::XlsxWorkbookReader() = default;

XlsxWorkbookReader::~XlsxWorkbookReader()
{
    m_sheetXml.reset();
    m_sheetDevice.reset(); // closes its part before the container
    if (m_zip)
        zip_discard(m_zip);
    if (m_container)
        zip_error_fini(&m_container->error);
}

std::unique_ptr<QIODevice> XlsxWorkbookReader::openPart(const QString &part) const
{
    const QByteArray name = part.toUtf8();
    const zip_int64_t index = zip_name_locate(m_zip, name.constData(), ZIP_FL_NOCASE);
    if (index < 0)
        return nullptr;
    zip_file_t *file = zip_fopen_index(m_zip, zip_uint64_t(index), 0);
    if (!file)
        return nullptr; // encrypted, or a compression method libzip does not know
    return std::make_unique<ZipPartDevice>(file, MaxPartBytes);
}

bool XlsxWorkbookReader::load(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > MaxFileBytes)
        return false;
    if (m_zip || m_container)
        return false; // one workbook a reader
    m_container = std::make_unique<Container>();
    zip_error_init(&m_container->error);
    m_container->file.setFileName(path);
    if (!m_container->file.open(QIODevice::ReadOnly))
        return false;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source = zip_source_function_create(&Container::call, m_container.get(), &error);
    if (source)
        m_zip = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (source && !m_zip)
        zip_source_free(source);
    zip_error_fini(&error);
    if (!m_zip)
        return false;

    QHash<QString, QString> targets;
    QHash<QString, QString> typeTargets;
    if (!readRelationships(QStringLiteral("_rels/.rels"), targets, typeTargets))
        return false;
    const QString workbook =
        resolvePart(QString(), typeTargets.value(QStringLiteral("officeDocument"), QStringLiteral("xl/workbook.xml")));
    const QString folder = folderOf(workbook);
    const QString fileName = workbook.mid(folder.isEmpty() ? 0 : folder.size() + 1);
    const QString workbookRels =
        resolvePart(folder, QString(QStringLiteral("_rels/") + fileName + QStringLiteral(".rels")));
    targets.clear();
    typeTargets.clear();
    if (!readRelationships(workbookRels, targets, typeTargets))
        return false;
    for (auto it = targets.begin(); it != targets.end(); ++it)
        it.value() = resolvePart(folder, it.value());
    if (!readWorkbook(workbook, targets))
        return false;
    const QString styles = typeTargets.value(QStringLiteral("styles"));
    const QString strings = typeTargets.value(QStringLiteral("sharedStrings"));
    return (styles.isEmpty() || readStyles(resolvePart(folder, styles))) &&
           (strings.isEmpty() || readSharedStrings(resolvePart(folder, strings)));
}

// Relationship targets by id, and by the last word of their type for the first of each type.
bool XlsxWorkbookReader::readRelationships(const QString &part, QHash<QString, QString> &targets,
                                           QHash<QString, QString> &typeTargets) const
{
    const std::unique_ptr<QIODevice> device = openPart(part);
    if (!device)
        return false;
    QXmlStreamReader xml(device.get());
    static const char *const types[] = {"officeDocument", "styles", "sharedStrings"};
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != u"Relationship")
            continue;
        const QXmlStreamAttributes attributes = xml.attributes();
        if (attributes.value(QLatin1String("TargetMode")).compare(u"External", Qt::CaseInsensitive) == 0)
            continue;
        const QString target = attributes.value(QLatin1String("Target")).toString();
        if (targets.size() < MaxStyles)
            targets.insert(attributes.value(QLatin1String("Id")).toString(), target);
        for (const char *type : types) {
            const QString key = QLatin1String(type);
            if (!typeTargets.contains(key) && typeIs(attributes.value(QLatin1String("Type")), key))
                typeTargets.insert(key, target);
        }
    }
    return !xml.hasError();
}

bool XlsxWorkbookReader::readWorkbook(const QString &part, const QHash<QString, QString> &targets)
{
    const std::unique_ptr<QIODevice> device = openPart(part);
    if (!device)
        return false;
    QXmlStreamReader xml(device.get());
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"workbookPr") {
            m_date1904 = isTrue(xml.attributes().value(QLatin1String("date1904")));
        } else if (xml.name() == u"sheet" && m_sheets.size() < MaxStyles) {
            const auto target = targets.constFind(relationshipId(xml.attributes()));
            if (target != targets.constEnd())
                m_sheets.append({xml.attributes().value(QLatin1String("name")).toString(), target.value()});
        }
    }
    return !xml.hasError();
}

bool XlsxWorkbookReader::readStyles(const QString &part)
{
    const std::unique_ptr<QIODevice> device = openPart(part);
    if (!device)
        return true; // a workbook without styles shows every number in the general format
    QXmlStreamReader xml(device.get());
    QHash<int, QString> codes;
    QVector<int> formats;
    bool inCellFormats = false;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement && xml.name() == u"cellXfs") {
            inCellFormats = false;
        } else if (token != QXmlStreamReader::StartElement) {
            continue;
        } else if (xml.name() == u"cellXfs") {
            inCellFormats = true;
        } else if (xml.name() == u"numFmt" && codes.size() < MaxStyles) {
            const QXmlStreamAttributes attributes = xml.attributes();
            codes.insert(attributes.value(QLatin1String("numFmtId")).toInt(),
                         attributes.value(QLatin1String("formatCode")).toString());
        } else if (xml.name() == u"xf" && inCellFormats) {
            if (formats.size() >= MaxStyles)
                return false;
            formats.append(xml.attributes().value(QLatin1String("numFmtId")).toInt());
        }
    }
    // Each style's format code, resolved once: custom codes may also redefine built-in numbers.
    for (int id : std::as_const(formats)) {
        const auto custom = codes.constFind(id);
        m_styleCodes.append(custom != codes.constEnd() ? custom.value() : CellNumberFormat::builtinCode(id));
    }
    return !xml.hasError();
}

bool XlsxWorkbookReader::readSharedStrings(const QString &part)
{
    const std::unique_ptr<QIODevice> device = openPart(part);
    if (!device)
        return false;
    QXmlStreamReader xml(device.get());
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != u"si")
            continue;
        QString text;
        if (!readStringItem(xml, text) || m_strings.size() >= MaxStrings ||
            m_stringChars.size() + text.size() > MaxStringChars)
            return false;
        m_strings.append({int(m_stringChars.size()), int(text.size())});
        m_stringChars += text;
    }
    return !xml.hasError();
}

WorkbookReader::SheetStatus XlsxWorkbookReader::selectSheet(const QString &name)
{
    startSheet(false);
    m_sheetPart.clear();
    for (const Sheet &sheet : std::as_const(m_sheets)) {
        if (sheet.name == name) {
            m_sheetPart = sheet.part;
            break;
        }
        if (m_sheetPart.isEmpty() && sheet.name.compare(name, Qt::CaseInsensitive) == 0)
            m_sheetPart = sheet.part;
    }
    if (m_sheetPart.isEmpty())
        return SheetStatus::Missing;
    if (!rewindSheet())
        return SheetStatus::Damaged;
    startSheet(true);
    return SheetStatus::Found;
}

bool XlsxWorkbookReader::rewindSheet()
{
    m_sheetXml.reset();
    m_sheetDevice = openPart(m_sheetPart);
    if (!m_sheetDevice)
        return false;
    m_sheetXml = std::make_unique<QXmlStreamReader>(m_sheetDevice.get());
    m_lastRow = 0;
    return true;
}

StreamedSheetReader::RowResult XlsxWorkbookReader::nextRow(int &rowNumber, QVector<QString> &cells)
{
    QXmlStreamReader &xml = *m_sheetXml;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement && xml.name() == u"sheetData")
            return RowResult::End;
        if (token != QXmlStreamReader::StartElement || xml.name() != u"row")
            continue;
        const QStringView number = xml.attributes().value(QLatin1String("r"));
        if (number.isEmpty()) {
            rowNumber = m_lastRow + 1;
        } else {
            bool ok = false;
            rowNumber = number.toInt(&ok);
            if (!ok || rowNumber < 1 || rowNumber > MaxRows)
                return RowResult::Damaged;
        }
        m_lastRow = rowNumber;
        int column = 0;
        qsizetype rowChars = 0;
        while (xml.readNextStartElement()) {
            if (xml.name() != u"c") {
                xml.skipCurrentElement();
                continue;
            }
            QString text;
            if (!readCellElement(xml, column, text) || (rowChars += text.size()) > MaxRowChars)
                return RowResult::Damaged;
            if (text.isEmpty())
                continue;
            if (cells.size() < column)
                cells.resize(column);
            cells[column - 1] = text;
        }
        return xml.hasError() ? RowResult::Damaged : RowResult::Row;
    }
    return xml.hasError() ? RowResult::Damaged : RowResult::End;
}

// One "c" element; `column` holds the previous cell's column on entry and this cell's on return.
bool XlsxWorkbookReader::readCellElement(QXmlStreamReader &xml, int &column, QString &text)
{
    const QXmlStreamAttributes attributes = xml.attributes();
    const QStringView reference = attributes.value(QLatin1String("r"));
    if (reference.isEmpty()) {
        ++column;
    } else {
        int row = 0;
        if (!parseCellName(reference, row, column))
            return false;
    }
    if (column < 1 || column > MaxColumns)
        return false;
    const QString type = attributes.value(QLatin1String("t")).toString();
    const int style = attributes.value(QLatin1String("s")).toInt();

    QString value;
    bool inlineText = false;
    while (xml.readNextStartElement()) {
        if (xml.name() == u"v") {
            value = xml.readElementText();
        } else if (xml.name() == u"is") {
            inlineText = true;
            if (!readStringItem(xml, value))
                return false;
        } else {
            xml.skipCurrentElement();
        }
        if (value.size() > MaxCellChars)
            return false;
    }
    if (xml.hasError())
        return false;

    if (type == u"s") {
        bool ok = false;
        const int index = value.toInt(&ok);
        if (!ok || index < 0 || index >= m_strings.size())
            return false;
        const QPair<int, int> at = m_strings.at(index);
        text = m_stringChars.mid(at.first, at.second);
    } else if (type == u"b") {
        text = value.isEmpty() ? QString() : isTrue(value) ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    } else if (inlineText || type == u"str" || type == u"inlineStr" || type == u"e" || type == u"d") {
        text = value;
    } else {
        text = numberText(value, style);
    }
    return true;
}

QString XlsxWorkbookReader::numberText(const QString &value, int style) const
{
    if (value.isEmpty())
        return value;
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok)
        return value;
    static const QString general = QStringLiteral("General");
    const QString &code = style >= 0 && style < m_styleCodes.size() ? m_styleCodes.at(style) : general;
    return CellNumberFormat::display(number, code, m_date1904);
}

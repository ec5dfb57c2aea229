#pragma once

#include "workbook/StreamedSheetReader.h"

#include <QHash>
#include <QVector>

#include <memory>

class QIODevice;
class QXmlStreamReader;
struct zip;

// Office Open XML workbooks (.xlsx): a zip container (libzip) of XML parts (QXmlStreamReader). The shared
// strings and number formats are read when the workbook opens; a sheet is read as it is asked for.
class XlsxWorkbookReader final : public StreamedSheetReader
{
public:
    // The largest file opened, and the most shared text kept: far more than any sheet of identities needs.
    static constexpr qint64 MaxFileBytes = qint64(256) << 20;
    static constexpr qsizetype MaxStringChars = qsizetype(32) << 20;
    static constexpr qsizetype MaxStrings = qsizetype(4) << 20;
    static constexpr qsizetype MaxStyles = 1 << 20;

    XlsxWorkbookReader();
    ~XlsxWorkbookReader() override;
    XlsxWorkbookReader(const XlsxWorkbookReader &) = delete;
    XlsxWorkbookReader &operator=(const XlsxWorkbookReader &) = delete;

    bool load(const QString &path);
    SheetStatus selectSheet(const QString &name) override;

protected:
    bool rewindSheet() override;
    RowResult nextRow(int &rowNumber, QVector<QString> &cells) override;

private:
    struct Sheet
    {
        QString name;
        QString part;
    };

    std::unique_ptr<QIODevice> openPart(const QString &part) const;
    bool readRelationships(const QString &part, QHash<QString, QString> &targets,
                           QHash<QString, QString> &typeTargets) const;
    bool readWorkbook(const QString &part, const QHash<QString, QString> &targets);
    bool readStyles(const QString &part);
    bool readSharedStrings(const QString &part);
    bool readCellElement(QXmlStreamReader &xml, int &column, QString &text);
    QString numberText(const QString &value, int style) const;

    struct Container;
    std::unique_ptr<Container> m_container; // outlives m_zip, which reads through it
    zip *m_zip = nullptr;
    QVector<Sheet> m_sheets;
    bool m_date1904 = false;
    QVector<QString> m_styleCodes;      // the number format code of each cell style
    QString m_stringChars;              // every shared string, one after the other
    QVector<QPair<int, int>> m_strings; // start and length in m_stringChars
    QString m_sheetPart;
    std::unique_ptr<QIODevice> m_sheetDevice;
    std::unique_ptr<QXmlStreamReader> m_sheetXml;
    int m_lastRow = 0;
};

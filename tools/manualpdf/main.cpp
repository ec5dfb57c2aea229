// Renders the manuals: Markdown sources of docs/manual/ laid out by Qt's own text engine and printed into a
// PDF, so that the build needs no document tool beyond Qt. Pictures named in the sources are looked up in the
// picture folders given; a missing one is an error, not an empty frame. The window's labels and messages come
// from the tool's catalogue of the manual's language (ManualCatalogue); a text it lacks is an error too.
#include "ManualCatalogue.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QTextStream>

#include <cstdio>

namespace {
// Pictures are measured in 1/96 inch; printing keeps 2 cm margins of its own, which leaves 170 mm (about 640)
// of an A4 page's width.
constexpr qreal MaxPictureWidth = 600;

void complain(const QString &text)
{
    std::fprintf(stderr, "manualpdf: %s\n", qPrintable(text));
}

QString findPicture(const QStringList &folders, const QString &name)
{
    for (const QString &folder : folders) {
        const QString path = folder + QLatin1Char('/') + name;
        if (QFileInfo::exists(path))
            return path;
    }
    return QString();
}

// Loads every picture the text names and scales it down to the text width; false when one is missing.
bool placePictures(QTextDocument &doc, const QStringList &folders)
{
    bool ok = true;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isImageFormat())
                continue;
            QTextImageFormat format = fragment.charFormat().toImageFormat();
            const QString path = findPicture(folders, format.name());
            const QImage image(path);
            if (path.isEmpty() || image.isNull()) {
                complain(QStringLiteral("picture %1 not found in %2").arg(format.name(), folders.join(", ")));
                ok = false;
                continue;
            }
            doc.addResource(QTextDocument::ImageResource, QUrl(format.name()), image);
            const qreal width = std::min<qreal>(image.width(), MaxPictureWidth);
            format.setWidth(width);
            format.setHeight(image.height() * width / image.width());
            QTextCursor cursor(&doc);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(format);
        }
    }
    return ok;
}
} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Renders Markdown sources into one PDF manual."));
    parser.addHelpOption();
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("The PDF to write."), QStringLiteral("file"));
    const QCommandLineOption title(QStringLiteral("title"), QStringLiteral("The document's title."),
                                   QStringLiteral("text"));
    const QCommandLineOption pictures(QStringLiteral("pictures"), QStringLiteral("A folder of pictures."),
                                      QStringLiteral("dir"));
    const QCommandLineOption font(QStringLiteral("font"), QStringLiteral("A font family, first choice first."),
                                  QStringLiteral("family"));
    const QCommandLineOption catalogue(
        QStringLiteral("catalogue"), QStringLiteral("The tool's translation catalogue (.ts) of the manual's language."),
        QStringLiteral("file"));
    parser.addOptions({out, title, pictures, font, catalogue});
    parser.addPositionalArgument(QStringLiteral("sources"), QStringLiteral("Markdown files, in order."));
    parser.process(app);
    if (!parser.isSet(out) || parser.positionalArguments().isEmpty()) {
        complain(QStringLiteral("needs --out and at least one source"));
        return 2;
    }

    QString markdown;
    for (const QString &source : parser.positionalArguments()) {
        QFile file(source);
        if (!file.open(QIODevice::ReadOnly)) {
            complain(QStringLiteral("cannot read %1: %2").arg(source, file.errorString()));
            return 1;
        }
        markdown += QString::fromUtf8(file.readAll()) + QStringLiteral("\n\n");
    }

    ManualCatalogue texts;
    QString error;
    if (parser.isSet(catalogue) && !texts.load(parser.value(catalogue), &error)) {
        complain(error);
        return 1;
    }
    QStringList unknown;
    markdown = texts.resolve(markdown, &unknown);
    if (!unknown.isEmpty()) {
        for (const QString &placeholder : std::as_const(unknown))
            complain(QStringLiteral("no text of the window for %1 in %2").arg(placeholder, parser.value(catalogue)));
        return 1;
    }

    QTextDocument doc;
    QFont base;
    base.setFamilies(parser.isSet(font) ? parser.values(font) : QStringList{QStringLiteral("DejaVu Sans")});
    base.setPointSizeF(10);
    doc.setDefaultFont(base);
    doc.setMarkdown(markdown, QTextDocument::MarkdownDialectGitHub);
    if (!placePictures(doc, parser.values(pictures)))
        return 1;

    QPdfWriter writer(parser.value(out));
    writer.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
    writer.setTitle(parser.value(title));
    writer.setCreator(QStringLiteral("DoverAriz manual renderer"));
    doc.print(&writer); // numbers the pages itself
    if (QFileInfo(parser.value(out)).size() == 0) {
        complain(QStringLiteral("nothing was written to %1").arg(parser.value(out)));
        return 1;
    }
    return 0;
}

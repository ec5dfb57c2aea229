#include "ManualCatalogue.h"

#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamReader>

QString ManualCatalogue::key(const QString &context, const QString &source)
{
    return context.trimmed() + QChar(0x1F) + source.trimmed();
}

bool ManualCatalogue::load(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    QXmlStreamReader xml(&file);
    QString context;
    QString source;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = xml.name();
        if (name == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (name == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (name == QLatin1String("translation")) {
            // An unfinished or vanished entry is not what the window shows: it counts as missing.
            const bool finished = xml.attributes().value(QLatin1String("type")).isEmpty();
            const QString text = xml.readElementText();
            m_texts.insert(key(context, source), finished ? text : QString());
        }
    }
    if (xml.hasError()) {
        *error = QStringLiteral("%1: line %2: %3").arg(path).arg(xml.lineNumber()).arg(xml.errorString());
        return false;
    }
    if (m_texts.isEmpty()) {
        *error = QStringLiteral("%1 holds no texts").arg(path);
        return false;
    }
    return true;
}

QString ManualCatalogue::escaped(const QString &text)
{
    QString out;
    // A text of several lines (a summary of the log pane) reads as one line in a table cell or a sentence.
    const QString flat = text.simplified();
    for (QChar c : flat) {
        if (QStringLiteral("\\`*_[]<>|#").contains(c))
            out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

QString ManualCatalogue::resolve(const QString &markdown, QStringList *unknown) const
{
    static const QRegularExpression placeholder(QStringLiteral("\\{\\{tr:([^{}]*)\\}\\}"));
    QString out;
    qsizetype done = 0;
    for (auto it = placeholder.globalMatch(markdown); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        out += QStringView(markdown).mid(done, match.capturedStart() - done);
        done = match.capturedEnd();
        const QStringList parts = match.captured(1).split(QLatin1Char('|'));
        const QString text = parts.size() < 2 ? QString() : m_texts.value(key(parts.at(0), parts.at(1)));
        if (text.isEmpty()) {
            unknown->append(match.captured(0));
            out += match.captured(0);
            continue;
        }
        QString filled = text;
        for (qsizetype i = 2; i < parts.size(); ++i)
            filled = filled.arg(parts.at(i));
        out += escaped(filled);
    }
    out += QStringView(markdown).mid(done);
    return out;
}

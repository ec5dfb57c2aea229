#include "support/Catalogue.h"

#include <QFile>
#include <QXmlStreamReader>
#include <algorithm>

bool Catalogue::load(const QString &path, QString *why)
{
    m_entries.clear();
    m_patterns.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    QXmlStreamReader xml(&file);
    QString context;
    Entry entry;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            entry = Entry{context, QString(), QString(), false};
        } else if (xml.name() == QLatin1String("source")) {
            entry.source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            const QStringView type = xml.attributes().value(QLatin1String("type"));
            entry.unfinished = type == QLatin1String("unfinished") || type == QLatin1String("vanished") ||
                               type == QLatin1String("obsolete");
            entry.translation = xml.readElementText();
            m_entries.append(entry);
        }
    }
    if (xml.hasError()) {
        *why = path + QStringLiteral(": ") + xml.errorString();
        return false;
    }
    for (const Entry &e : m_entries) {
        QString pattern = QRegularExpression::escape(e.translation);
        // escape() leaves a % as "\\%" or "%", depending on the Qt version.
        pattern.replace(QRegularExpression(QStringLiteral("\\\\?%[1-9]")), QStringLiteral(".*"));
        m_patterns.append(QRegularExpression(QRegularExpression::anchoredPattern(pattern),
                                             QRegularExpression::DotMatchesEverythingOption));
    }
    return true;
}

bool Catalogue::hasTranslationMatching(const QString &text) const
{
    return std::any_of(m_patterns.cbegin(), m_patterns.cend(),
                       [&](const QRegularExpression &re) { return re.match(text).hasMatch(); });
}

QString Catalogue::placeholders(const QString &text)
{
    QStringList found;
    auto it = QRegularExpression(QStringLiteral("%[1-9]")).globalMatch(text);
    while (it.hasNext())
        found.append(it.next().captured());
    found.sort();
    found.removeDuplicates();
    return found.join(QString());
}

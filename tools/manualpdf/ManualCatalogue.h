#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// The window's texts for the manuals: a translation catalogue (.ts) of the tool, so that every label and message
// the manuals quote is the one the window shows in the manual's language, and cannot drift from it.
//
// The Markdown names a text as {{tr:Context|Source text}}, or with arguments for its %1, %2, ... as
// {{tr:Context|Source text|first|second}}. Blanks around the source text do not count.
class ManualCatalogue final
{
public:
    bool load(const QString &path, QString *error);
    // The Markdown with every placeholder replaced by its text, escaped for Markdown. Each placeholder whose
    // text the catalogue lacks, or holds untranslated, is added to `unknown` and left as it was.
    QString resolve(const QString &markdown, QStringList *unknown) const;

private:
    static QString key(const QString &context, const QString &source);
    static QString escaped(const QString &text);

    QHash<QString, QString> m_texts; // key(context, source) -> translation; empty when unfinished
};

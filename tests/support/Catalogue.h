#pragma once

#include <QList>
#include <QRegularExpression>
#include <QString>

// A translation catalogue (.ts) as read from disk, for the tests that hold the interface against it.
class Catalogue final
{
public:
    struct Entry
    {
        QString context;
        QString source;
        QString translation;
        bool unfinished = false;
    };

    // False with a reason when the file cannot be read or is not a catalogue.
    bool load(const QString &path, QString *why);
    const QList<Entry> &entries() const { return m_entries; }

    // True when `text` is one of the translations, with any %1..%9 standing for any text.
    bool hasTranslationMatching(const QString &text) const;

    // The %1..%9 markers of a text, sorted ("%1%2").
    static QString placeholders(const QString &text);

private:
    QList<Entry> m_entries;
    QList<QRegularExpression> m_patterns;
};

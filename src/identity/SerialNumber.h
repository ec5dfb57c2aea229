#pragma once

#include <QHashFunctions>
#include <QString>
#include <QStringView>
#include <optional>

// A main-board or product serial number in its one form: what a history line holds and reads back as the same
// value. Printable ASCII without blanks and without "#" (a history line that starts with it is a comment), at
// most MaxLength characters.
class SerialNumber final
{
public:
    static constexpr int MaxLength = 64;

    static std::optional<SerialNumber> parse(QStringView text, QString *why = nullptr);

    const QString &text() const { return m_text; }

    bool operator==(const SerialNumber &other) const { return m_text == other.m_text; }
    bool operator!=(const SerialNumber &other) const { return m_text != other.m_text; }

private:
    explicit SerialNumber(QString text) : m_text(std::move(text)) {}
    QString m_text;
};

inline size_t qHash(const SerialNumber &serial, size_t seed = 0)
{
    return qHash(serial.text(), seed);
}

#pragma once

#include <QHashFunctions>
#include <QString>
#include <QStringView>
#include <optional>

// An IMEI in its one form: 15 ASCII digits. Every source makes its IMEIs through parse(), and every comparison
// (histories, the ledger, pools, the other IMEIs of a set) is made on that form.
class Imei final
{
public:
    static constexpr int Length = 15;

    // The IMEI of `text`, or nothing with `why` saying what is wrong with it (the caller names the source).
    static std::optional<Imei> parse(QStringView text, QString *why = nullptr);
    // The check digit computed over the first 14 digits of `body` (ASCII digits).
    static int checkDigit(QStringView body);

    const QString &text() const { return m_text; }
    // Whether the last digit is the check digit of the first 14.
    bool hasValidCheckDigit() const;
    // The first 8 digits: the type allocation code.
    QStringView typeAllocationCode() const { return QStringView(m_text).left(8); }

    bool operator==(const Imei &other) const { return m_text == other.m_text; }
    bool operator!=(const Imei &other) const { return m_text != other.m_text; }

private:
    explicit Imei(QString text) : m_text(std::move(text)) {}
    QString m_text;
};

inline size_t qHash(const Imei &imei, size_t seed = 0)
{
    return qHash(imei.text(), seed);
}

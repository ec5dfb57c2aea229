#pragma once

#include <QHashFunctions>
#include <QString>
#include <QStringView>
#include <optional>

// A Bluetooth address in its one form: 12 lower-case hexadecimal digits (48 bits). Scans and ranges may come in
// either case; the histories, the ledger and every comparison see the lower-case form only.
class BtAddress final
{
public:
    static constexpr int Length = 12;
    static constexpr quint64 Last = 0xffffffffffffULL;

    static std::optional<BtAddress> parse(QStringView text, QString *why = nullptr);
    static std::optional<BtAddress> fromNumber(quint64 value);

    const QString &text() const { return m_text; }
    quint64 number() const;
    // A unicast address: the lowest bit of the first octet is clear.
    bool isUnicast() const;

    bool operator==(const BtAddress &other) const { return m_text == other.m_text; }
    bool operator!=(const BtAddress &other) const { return m_text != other.m_text; }

private:
    explicit BtAddress(QString text) : m_text(std::move(text)) {}
    QString m_text;
};

inline size_t qHash(const BtAddress &address, size_t seed = 0)
{
    return qHash(address.text(), seed);
}

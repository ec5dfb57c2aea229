#include "identity/BtAddress.h"

#include <QCoreApplication>

std::optional<BtAddress> BtAddress::parse(QStringView text, QString *why)
{
    if (text.size() != Length) {
        if (why)
            *why = QCoreApplication::translate(
                       "BtAddress", "a Bluetooth address has %1 hexadecimal digits, \"%2\" has %3 characters")
                       .arg(Length)
                       .arg(text.toString())
                       .arg(text.size());
        return std::nullopt;
    }
    QString lower(Length, Qt::Uninitialized);
    for (int i = 0; i < Length; ++i) {
        const QChar c = text[i];
        if (c >= u'0' && c <= u'9')
            lower[i] = c;
        else if (c >= u'a' && c <= u'f')
            lower[i] = c;
        else if (c >= u'A' && c <= u'F')
            lower[i] = QChar(c.unicode() - u'A' + u'a');
        else {
            if (why)
                *why = QCoreApplication::translate("BtAddress",
                                                   "a Bluetooth address holds hexadecimal digits only, \"%1\" does not")
                           .arg(text.toString());
            return std::nullopt;
        }
    }
    return BtAddress(lower);
}

std::optional<BtAddress> BtAddress::fromNumber(quint64 value)
{
    if (value > Last)
        return std::nullopt;
    return BtAddress(QStringLiteral("%1").arg(value, Length, 16, QLatin1Char('0')));
}

quint64 BtAddress::number() const
{
    return m_text.toULongLong(nullptr, 16);
}

bool BtAddress::isUnicast() const
{
    return (QStringView(m_text).left(2).toUInt(nullptr, 16) & 1) == 0;
}

#include "identity/Imei.h"

#include <QCoreApplication>

std::optional<Imei> Imei::parse(QStringView text, QString *why)
{
    if (text.size() != Length) {
        if (why)
            *why = QCoreApplication::translate("Imei", "an IMEI has %1 digits, \"%2\" has %3 characters")
                       .arg(Length)
                       .arg(text.toString())
                       .arg(text.size());
        return std::nullopt;
    }
    for (QChar c : text) {
        if (c < u'0' || c > u'9') {
            if (why)
                *why = QCoreApplication::translate("Imei", "an IMEI holds digits only, \"%1\" does not")
                           .arg(text.toString());
            return std::nullopt;
        }
    }
    return Imei(text.toString());
}

int Imei::checkDigit(QStringView body)
{
    int sum = 0;
    for (int i = 0; i < 14 && i < body.size(); ++i) {
        int d = body[i].unicode() - '0';
        if (i % 2 == 1) {
            d *= 2;
            if (d > 9)
                d -= 9;
        }
        sum += d;
    }
    return (10 - sum % 10) % 10;
}

bool Imei::hasValidCheckDigit() const
{
    return m_text.at(14).unicode() - '0' == checkDigit(m_text);
}

#pragma once

#include <QByteArray>

// A 15-digit IMEI from a 14-digit body, with its check digit computed here rather than by the code measured.
inline QByteArray withCheckDigit(quint64 body)
{
    QByteArray text = QByteArray::number(body).rightJustified(14, '0');
    int sum = 0;
    for (int i = 0; i < 14; ++i) {
        int d = text.at(i) - '0';
        if (i % 2 == 1) {
            d *= 2;
            if (d > 9)
                d -= 9;
        }
        sum += d;
    }
    text.append(char('0' + (10 - sum % 10) % 10));
    return text;
}

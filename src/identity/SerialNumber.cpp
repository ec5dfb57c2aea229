#include "identity/SerialNumber.h"

#include <QCoreApplication>

std::optional<SerialNumber> SerialNumber::parse(QStringView text, QString *why)
{
    const auto refuse = [&](const QString &reason) {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    if (text.isEmpty())
        return refuse(QCoreApplication::translate("SerialNumber", "a serial number cannot be empty"));
    if (text.size() > MaxLength)
        return refuse(QCoreApplication::translate("SerialNumber", "a serial number has at most %1 characters, "
                                                                  "\"%2\" has %3")
                          .arg(MaxLength)
                          .arg(text.left(MaxLength).toString() + QStringLiteral("…"))
                          .arg(text.size()));
    for (QChar c : text) {
        if (c == u'#')
            return refuse(QCoreApplication::translate("SerialNumber", "a serial number cannot hold \"#\": \"%1\"")
                              .arg(text.toString()));
        if (c.unicode() <= 0x20 || c.unicode() >= 0x7f)
            return refuse(QCoreApplication::translate("SerialNumber",
                                                      "a serial number holds visible ASCII characters only, without "
                                                      "blanks: \"%1\"")
                              .arg(text.toString()));
    }
    return SerialNumber(text.toString());
}

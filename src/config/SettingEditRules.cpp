#include "config/SettingEditRules.h"

#include "config/ToolSettings.h"

#include <algorithm>

QString SettingEditRules::fitToLength(const QString &text, int length)
{
    length = std::max(length, 0);
    if (text.size() >= length)
        return text.right(length);
    return QString(length - text.size(), QLatin1Char('0')) + text;
}

void SettingEditRules::normaliseMbsnCodes(ToolSettings &settings)
{
    settings.MbsnInitNum = fitToLength(settings.MbsnInitNum, settings.Mbsnlen);
    settings.MbsnMaskNum = fitToLength(settings.MbsnMaskNum, settings.Mbsnlen);
}

QString SettingEditRules::filterCode(const QString &text, QStringView extras)
{
    // By code point, so that a letter outside the basic plane keeps both of its halves.
    QString kept;
    kept.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        const bool extra = c <= 0xFFFF && extras.contains(QChar(char16_t(c)));
        if (QChar::isLetter(c) || QChar::isDigit(c) || extra)
            kept.append(QString::fromUcs4(&c, 1));
    }
    return kept;
}

int SettingEditRules::imeiCount(const QString &countText)
{
    const int n = countText.toInt();
    return n >= 1 && n <= MaxImeiCount ? n : 1;
}

int SettingEditRules::imeiComboIndex(int position, int inputType)
{
    const int offered = position == 0 ? InputDefaultValue : InputAccumulationByStep;
    return inputType >= InputManual && inputType <= offered ? inputType : InputManual;
}

int SettingEditRules::maxNumber(const QString &text)
{
    bool ok = false;
    const qint64 number = text.toLongLong(&ok);
    if (ok)
        return int(std::clamp<qint64>(number, 1, ToolSettings::MaxGenerateNum));
    // Digits too many to read are a number above any limit.
    const QString digits = text.trimmed();
    const bool allDigits = !digits.isEmpty() && std::all_of(digits.begin(), digits.end(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
    return allDigits ? ToolSettings::MaxGenerateNum : 1;
}

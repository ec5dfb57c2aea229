#pragma once

#include <QString>
#include <QStringView>

class ToolSettings;

// What the settings dialog decides that is not about widgets: how the codes it shows are normalised and
// cleaned, how many IMEIs are in use, which input type each IMEI combo box can show, what a "Max limited
// number" field stores.
class SettingEditRules final
{
public:
    static constexpr int ImeiCodeLength = 14; // init code and mask of the IMEI body
    static constexpr int MaxImeiCount = 4;

    // Exactly `length` characters: a shorter text padded on the left with "0", a longer one keeps its last
    // `length` characters. A length below 0 counts as 0.
    static QString fitToLength(const QString &text, int length);
    // MbsnInitNum and MbsnMaskNum fitted to Mbsnlen in the record itself.
    static void normaliseMbsnCodes(ToolSettings &settings);

    // Removes every character that is neither a letter nor a digit (in the Unicode sense) nor one of `extras`.
    static QString filterCode(const QString &text, QStringView extras);

    // The number of IMEIs the text of the count box names, 1 when it names none of 1 to 4.
    static int imeiCount(const QString &countText);
    // The index an IMEI combo box (position 0 to 3) shows for an input type: position 0 offers manual input
    // and the default value, the others also accumulation by step; any other type shows manual input.
    static int imeiComboIndex(int position, int inputType);

    // What a "Max limited number" field stores: its number kept within 1 to 10000, as a load would; an empty
    // or unreadable field stores 1.
    static int maxNumber(const QString &text);
};

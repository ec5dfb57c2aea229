#pragma once

#include <QCoreApplication>
#include <QString>

class CounterBlocks;
class IdentityFrontEnd;
class IdentityPool;
class IssuedIdentities;
class ToolSettings;

// Bluetooth addresses, one at a time: from the range BTInitAddr (first) to BTEndAddr (never issued), advancing
// BTCurrentAddr, or from the clock mixed with a pseudo-random number (RandomSource).
class BtAddressGenerator final
{
    Q_DECLARE_TR_FUNCTIONS(BtAddressGenerator)

public:
    // True when the range and the current address are usable; raises BTCurrentAddr to the start when below it.
    static bool checkBtRange(ToolSettings &settings, QString &message);
    static QString btByTime(int length);
    // A new address into the pool (as its only value) and into currentBt; false after an error line. With
    // `blocks` the range's addresses come from the block this station holds of the range shared by the line.
    static bool takeBtAddress(ToolSettings &settings, IdentityPool &pool, const IssuedIdentities &issued,
                              IdentityFrontEnd &frontEnd, CounterBlocks *blocks = nullptr);
    // Strict hexadecimal: 1 to 16 hexadecimal digits, nothing else.
    static bool readHex(const QString &text, quint64 &value);
    static QString hexAddress(quint64 value); // 12 lowercase digits, more when the value needs them
};

#pragma once

#include "identity/CounterBlocks.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <array>

class IdentityFrontEnd;
class IdentityPool;
class ImeiPool;
class IssuedIdentities;
class ToolSettings;

// The checks of what the operator typed or scanned, and the display steps of the identity sources. Each check
// reports its own error line and moves the focus to the field at fault; Return handlers and Write call them.
// Positions are 1-based, as the operator sees them.
class IdentityChecks final
{
    Q_DECLARE_TR_FUNCTIONS(IdentityChecks)

public:
    IdentityChecks(ToolSettings &settings, IdentityFrontEnd &frontEnd, const IssuedIdentities &issued,
                   ImeiPool &imeiPool, IdentityPool &mbsnPool, IdentityPool &psnPool, IdentityPool &btPool);

    // False, after the error line naming the corrected value, when `text` is not 14 or 15 digits with the right
    // check digit.
    bool checkImeiValidity(int position, const QString &text);
    // True, after the error line, when the IMEI history holds `text`.
    bool checkImeiHistory(int position, const QString &text);
    // The IMEIs of the next set into slot 0 of the IMEI pool. With pool values, default-value IMEIs are the
    // pool's; without, they are computed and advance the default value.
    bool checkImeiSet(bool withPoolValues);
    bool checkMbsn();
    bool checkPsn();
    bool checkBt();

    // The default-value and step IMEIs the next set would get, without advancing anything: operator-entered
    // positions, and steps from them, are empty.
    std::array<QString, 4> previewImeis();

    bool showAllocatedImeis(const QStringList &imeis);
    void showGeneratedSerial(int kind, const QString &value);

    int imeisPerSet() const;

    // With a line that shares the default IMEI, its values come from blocks taken there; null runs alone.
    void setCounterBlocks(CounterBlocks *blocks) { m_blocks = blocks; }
    // The shared counter of the default IMEI's bodies (14 digits) from `defaultNumber` to the end of its type
    // allocation code: stations that start in one allocation share one counter.
    static CounterBlocks::Range defaultImeiRange(quint64 defaultNumber);

private:
    enum class Candidates
    {
        Preview,
        Allocate,
        WithPoolValues,
    };
    bool computeImeis(Candidates mode, std::array<QString, 4> &candidates, quint64 &defaultNumber);
    bool checkSerial(int kind);
    bool placeDefault(quint64 &defaultNumber);

    ToolSettings &m_settings;
    IdentityFrontEnd &m_frontEnd;
    const IssuedIdentities &m_issued;
    ImeiPool &m_imeiPool;
    IdentityPool &m_mbsnPool;
    IdentityPool &m_psnPool;
    IdentityPool &m_btPool;
    CounterBlocks *m_blocks = nullptr;
};

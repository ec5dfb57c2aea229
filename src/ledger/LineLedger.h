#pragma once

#include "ledger/LedgerIssuedIdentities.h"
#include "ledger/LineConfig.h"

#include "identity/IdentityClaims.h"

#include <memory>

class CounterBlocks;
class Ledger;
class LedgerCallThread;

// A station's place on a line, as start-up finds it: cfg/line.ini read, the ledger reached and its schema
// version checked. Without the file the station works alone and nothing here takes part. With a file that
// cannot be used, a ledger of another version, or a login role that the ledger binds to another station's
// name, the station refuses to write (its claims fail with the reason, naming both names) instead of falling
// back to its history files without a word.
class LineLedger final
{
public:
    enum class State
    {
        Alone,       // no cfg/line.ini, or no connection in it
        Ready,       // the ledger answered at start, at the version this program needs
        Unreachable, // configured, but the ledger did not answer at start: it is tried again at each write
        Refused,     // the file or the ledger's schema cannot be used: no write until it is mended
    };

    explicit LineLedger(const QString &configPath = LineConfig::defaultPath());
    ~LineLedger();
    LineLedger(const LineLedger &) = delete;
    LineLedger &operator=(const LineLedger &) = delete;

    State state() const { return m_state; }
    const LineConfig &config() const { return m_config; }
    // What start-up tells the operator (never the connection string); empty when the station works alone.
    QString startMessage() const { return m_message; }

    // The duplicate test to hand to the identity sources: `local` alone when the station works alone.
    const IssuedIdentities &issued(const IssuedIdentities &local, LedgerIssuedIdentities::TroubleFunction onTrouble);
    // The worker's claims; null when the station works alone.
    std::unique_ptr<IdentityClaims> makeClaims() const;
    // The blocks of the shared counters, when the line shares them (SharedCounters=true); null otherwise.
    CounterBlocks *counterBlocks();

    // The duplicate queries and counter blocks run off the caller's thread, which goes on with its events while
    // they wait. HoldInput (the default) keeps the user's input for after the wait, so that a scanner's fields
    // stay in order; LetInputIn lets it in (the cycle's allocation, which guards itself); GiveUp (Stop, Exit)
    // ends the waits under way and those that follow, until the next mode is set.
    enum class Waits
    {
        HoldInput,
        LetInputIn,
        GiveUp,
    };
    void setWaits(Waits waits);

private:
    LineConfig m_config;
    State m_state = State::Alone;
    QString m_message;
    std::unique_ptr<Ledger> m_ledger;          // the window's connection
    std::unique_ptr<LedgerCallThread> m_calls; // ends its jobs before the ledger goes
    std::unique_ptr<LedgerIssuedIdentities> m_issued;
    std::unique_ptr<CounterBlocks> m_blocks;
};

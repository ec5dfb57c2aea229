#pragma once

#include "history/HistoryList.h"
#include "history/ImeiHistory.h"

// The station's four histories of issued identities as loaded from cfg/ and extended by each write. One object
// of the station owns them (the window, for the run); the worker and the duplicate test borrow them.
struct StationHistories final
{
    ImeiHistory imeiHistory;
    HistoryList mbsnHistory;
    HistoryList psnHistory;
    HistoryList btHistory;
    // Why a history file could not be read whole (naming the file); empty when all four were. While it is set the
    // histories cannot tell what was issued, so nothing is written.
    QString problem;
};

#pragma once

#include <QColor>

// The station's words for what it shows, shared by the worker, the cycle, the identity sources and the window:
// the status panel's states, the control buttons' states and the log pane's line colours. The enums sit in
// structs so that the panel, the window and the cycle name them as their own members.

// The status panel.
struct PanelStates
{
    enum StatusState : int
    {
        StateErrorAlt = -2, // shown like StateError
        StateError = -1,
        StateUnmount = 0,
        StateIdle = 1,
        StateBusy = 2,
        StateFinished = 3,
        StateSetting = 4,
    };
};

// Which control buttons are usable.
struct StationStates
{
    enum StationState : int
    {
        StateNoPort = 0,
        StateReady = 1,
        StateBusy = 2,
        StateLocked = 3, // after a worker exception
    };
};

// The colour pairs of the log pane.
enum class LineColour : int
{
    Info,
    Progress,
    Pass,
    Error,
    Warning,
};

struct LineColours
{
    QColor fg;
    QColor bg;
};

inline LineColours lineColours(LineColour colour)
{
    switch (colour) {
    case LineColour::Progress:
    case LineColour::Warning:
        return {QColor(Qt::yellow), QColor(Qt::lightGray)};
    case LineColour::Pass:
        return {QColor(Qt::green), QColor(Qt::lightGray)};
    case LineColour::Error:
        return {QColor(Qt::red), QColor(Qt::lightGray)};
    case LineColour::Info:
        break;
    }
    return {QColor(Qt::white), QColor(Qt::lightGray)};
}

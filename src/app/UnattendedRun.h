#pragma once

#include <QString>

class QWidget;

// Lets a script or a test run the tool without anyone at the station: with DOVERARIZ_EXIT_AFTER_MS set, every
// message box is answered with its default button and noted on standard output, and after that many
// milliseconds the window is grabbed into the PNG named by DOVERARIZ_GRAB (when set), each tab of the Setup dialog
// into <prefix>-<tab>.png when DOVERARIZ_GRAB_SETUP names a prefix, its title is printed and
// the event loop ends with code 0. With DOVERARIZ_WRITE_ON_PORT set as well, Write is pressed as soon as it can
// be (a handset is on a port), so that a script can run continuous production without anyone at the station.
class UnattendedRun final
{
public:
    static bool isRequested();
    // Answers message boxes from now on; call before the first box.
    static void beginAnswering();
    // Prints what the boxes answered so far said.
    static void reportBoxes();
    // Arms the timer that ends the run.
    static void scheduleExit(QWidget *window);
    // Presses Write once it is enabled, when DOVERARIZ_WRITE_ON_PORT is set.
    static void scheduleWrite(QWidget *window);
};

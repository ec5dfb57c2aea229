#pragma once

#include <QString>
#include <functional>

class QObject;
class QProcess;
class QUrl;

// Opens a PDF manual: in the viewer named beside the executable when it is there, otherwise in the desktop's
// own PDF handler where the platform has one.
class ManualViewer final
{
public:
    enum class Outcome
    {
        Opened,
        ViewerMissing,   // neither the named viewer nor a desktop handler could take it
        DocumentMissing, // the manual is not there
    };

    // Opens the desktop's handler for a document; false when there is none.
    using DesktopOpener = std::function<bool(const QUrl &document)>;

    // `viewer` is the viewer's path (relative paths against the current directory). The viewer is started in
    // `*process`, created as a child of `owner` when null or when a new process is wanted.
    static Outcome open(const QString &viewer, const QString &document, QObject *owner, QProcess **process);

    static bool hasDesktopHandler();
    // Tests replace the desktop's handler; empty restores it.
    static void setDesktopOpenerForTesting(DesktopOpener opener);

private:
    // Whether the system hands documents to a program of the user's choice (ManualViewerPosix.cpp,
    // ManualViewerWin.cpp).
    static bool systemHasDesktopHandler();
};

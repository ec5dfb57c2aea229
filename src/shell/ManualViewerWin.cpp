#include "shell/ManualViewer.h"

bool ManualViewer::systemHasDesktopHandler()
{
    return true; // the shell opens a document with the program its type is registered to
}

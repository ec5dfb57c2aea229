#include "SpecialFiles.h"

bool SpecialFiles::makeFifo(const QString &path)
{
    Q_UNUSED(path);
    return false;
}

bool SpecialFiles::haveFifos()
{
    return false; // named pipes live in a namespace of their own, not among files
}

#include "config/FileModes.h"

#include <sys/stat.h>

void FileModes::shareNewFilesWithGroup()
{
    ::umask(0002);
}

#include "config/FileModes.h"

// The data folder under ProgramData gets its access list from the installer; new files inherit it.
void FileModes::shareNewFilesWithGroup() {}

#include "BinaryOutput.h"

#include <fcntl.h>
#include <io.h>

void setBinaryOutput(std::FILE *stream)
{
    _setmode(_fileno(stream), _O_BINARY);
}

#include "BinaryOutput.h"

void setBinaryOutput(std::FILE *stream)
{
    (void)stream; // streams carry bytes as they are
}

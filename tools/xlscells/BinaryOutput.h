#pragma once

#include <cstdio>

// The dump goes out byte for byte: Windows' C library would turn each line end into two bytes on a text stream
// (BinaryOutputPosix.cpp, BinaryOutputWin.cpp).
void setBinaryOutput(std::FILE *stream);

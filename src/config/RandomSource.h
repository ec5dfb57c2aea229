#pragma once

#include <functional>

// The tool's one source of pseudo-random numbers, so that tests can set it. By default it gives the sequence
// that the C library's rand() gives in a program that never seeds it (the C library of the platforms the
// tool is built on), computed here so that no other caller of rand() can shift it.
class RandomSource final
{
public:
    static int next();                                                // 0 to 2147483647
    static void setNextFunctionForTesting(std::function<int()> next); // empty restores the default sequence
    // Starts the default sequence again from its first number.
    static void restartDefaultSequence();
};

#pragma once

#include <string>

class ChipInfo;
class TargetConnection;

// The flash layout a handset reports.
class FlashInfo
{
public:
    static constexpr unsigned NotReported = 0xFFFFFFFFu;

    int loadFromTarget(TargetConnection *connection, ChipInfo *chipInfo);
    void clear();

    std::string flashModel; // empty when not identified
    unsigned factoryBase = NotReported;
    unsigned factorySize = NotReported;
    unsigned userAreaStart = NotReported;
    unsigned userAreaSize = NotReported;
};

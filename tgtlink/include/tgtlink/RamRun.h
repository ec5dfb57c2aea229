#pragma once

class ChipInfo;
class LodData;
class TargetConnection;

// Downloads a RAM-run image into the handset and starts it.
class RamRun
{
public:
    void init(ChipInfo *chipInfo, LodData *lodData, TargetConnection *connection);
    int run();

private:
    ChipInfo *m_chipInfo = nullptr;
    LodData *m_lodData = nullptr;
    TargetConnection *m_connection = nullptr;
};

#pragma once

#include "tgtlink/ChipInfo.h"
#include "tgtlink/DeviceBackend.h"
#include "tgtlink/DeviceScan.h"
#include "tgtlink/FactorySet.h"
#include "tgtlink/FlashInfo.h"
#include "tgtlink/FlashProgram.h"
#include "tgtlink/LodData.h"
#include "tgtlink/RamRun.h"
#include "tgtlink/SettingLoader.h"
#include "tgtlink/StationSetting.h"
#include "tgtlink/TargetConnection.h"
#include "tgtlink/TargetError.h"

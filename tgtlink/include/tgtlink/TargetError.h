#pragma once

#include <string>

// Result codes of the target library. 0 is success; every failure is negative and has a text.
enum TargetErrorCode : int
{
    TGT_OK = 0,
    TGT_ERR_NO_DEVICE = -101,        // the handset is gone (unplugged) or the port has no handset
    TGT_ERR_IO = -102,               // reading or writing the handset failed
    TGT_ERR_TIMEOUT = -103,          // the handset did not answer in time
    TGT_ERR_NOT_SUPPORTED = -104,    // the operation is not available on this handset
    TGT_ERR_BAD_IMAGE = -105,        // the handset's flash image is damaged
    TGT_ERR_NO_FACTORY_DATA = -106,  // no valid factory data on the handset (blank)
    TGT_ERR_ABORTED = -107,          // the operation was aborted on request
    TGT_ERR_NOT_STARTED = -108,      // the RAM-run image or the programmer is not running
    TGT_ERR_WRONG_CHIP = -109,       // the RAM-run image is made for another chip
    TGT_ERR_NO_VERSION = -110,       // the handset reports no software version
    TGT_ERR_OUT_OF_RANGE = -111,     // address or size outside the flash
    TGT_ERR_INVALID_ARGUMENT = -112, // a value the handset cannot store
    TGT_ERR_INVALID_IMEI = -989,     // the IMEI's check digit is wrong
};

// A readable text for every code, unknown codes included.
std::string TargetStrError(int code);

#include "tgtlink/TargetError.h"

std::string TargetStrError(int code)
{
    switch (code) {
    case TGT_OK:
        return "Success";
    case TGT_ERR_NO_DEVICE:
        return "No handset on the port (unplugged?)";
    case TGT_ERR_IO:
        return "Reading or writing the handset failed";
    case TGT_ERR_TIMEOUT:
        return "The handset did not answer in time";
    case TGT_ERR_NOT_SUPPORTED:
        return "Operation not supported by this handset";
    case TGT_ERR_BAD_IMAGE:
        return "The handset's flash image is damaged";
    case TGT_ERR_NO_FACTORY_DATA:
        return "No valid factory data on the handset";
    case TGT_ERR_ABORTED:
        return "Operation aborted";
    case TGT_ERR_NOT_STARTED:
        return "RAM-run image or flash programmer not running";
    case TGT_ERR_WRONG_CHIP:
        return "RAM-run image made for another chip";
    case TGT_ERR_NO_VERSION:
        return "The handset reports no software version";
    case TGT_ERR_OUT_OF_RANGE:
        return "Address or size outside the flash";
    case TGT_ERR_INVALID_ARGUMENT:
        return "Value not accepted by the handset";
    case TGT_ERR_INVALID_IMEI:
        return "Invalid IMEI (wrong check digit)";
    default:
        return "Unknown error " + std::to_string(code);
    }
}

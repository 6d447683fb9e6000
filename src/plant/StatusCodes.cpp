#include "plant/StatusCodes.h"

namespace halvorn {

std::string StatusCodeText(std::int16_t code) {
  switch (code) {
    // Faults of the controller's field buses; these bytes are also the
    // lower-case letters k to p.
    case 107:
      return "wrong size response from pfeiffer bus";
    case 108:
      return "bad format response from pfeiffer bus";
    case 109:
      return "bad crc from pfeiffer bus";
    case 110:
      return "wrong size response from icpcon bus";
    case 111:
      return "bad format response from icpcon bus";
    case 112:
      return "bad crc from icpcon bus";
    case kStatusOk:
      return "ok";
    case 151:
      return "crc error";
    case 152:
      return "message too short";
    case 154:
      return "bad operator";
    case 155:
      return "operation not implemented";
    case 156:
      return "operation not allowed";
    case 159:
      return "no response from pfeiffer bus";
    case 160:
      return "no response from icpcon bus";
    default:
      return "Unknown error code";
  }
}

}  // namespace halvorn

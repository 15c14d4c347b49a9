#include "cvfile/transfer_record.h"

namespace cvfile {

std::string_view ResultWord(std::uint8_t result) {
    switch (static_cast<ResultCode>(result)) {
        case ResultCode::CrcOk:
            return "CRC OK";
        case ResultCode::CrcError:
            return "CRC ERROR";
        case ResultCode::ProtocolError:
            return "PROTOCOL ERROR";
        case ResultCode::FileError:
            return "FILE ERROR";
        case ResultCode::Rejected:
            return "REJECTED";
        case ResultCode::Cancelled:
            return "CANCELLED";
    }
    return "ERROR";
}

}  // namespace cvfile

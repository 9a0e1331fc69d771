#include "engine/convert/av_handles.h"

extern "C" {
#include <libavutil/error.h>
}

namespace av_handles {

std::string ErrorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

}  // namespace av_handles

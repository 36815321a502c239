// The ray tracer's internal error.
#include "render/raytrace/rt_error.h"

#include "model/math/result.h"

RtError::RtError(int code, const char* message) : code_(code), message_(message ? message : "") {
    if (message_.size() > 255) message_.resize(255);
}

void rt_error(int code, const char* message) {
    throw RtError(code, message);
}

void rt_error_memory(const char* label) {
    throw RtError(kOutOfMemory, label);
}

// Input waiting during long feedback draws: input seen since the draw began, or the
// draw's frame ran out.
#include "graphics/view/input_gate.h"

#include <chrono>

int64_t InputGate::now() const {
    if (clock_) return clock_();
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void InputGate::draw_begin() {
    seen_ = false;
    drawing_ = true;
    started_ = now();
}

bool InputGate::pending() const {
    if (seen_) return true;
    if (!drawing_ || frame_us_ <= 0) return false;
    return now() - started_ >= frame_us_;
}

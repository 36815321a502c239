// Whether new input waits while a long cursor-feedback draw runs, for window systems
// that cannot look into their event queue (the application's drawing view answers the
// engine's ViewHost::input_pending from one of these). The window side reports input
// as it arrives (input_seen); each feedback draw starts a frame (draw_begin, through
// ViewHost::feedback_started); pending() is true once input arrived during the draw
// or the draw has run for longer than one frame. A draw told so stops early and its
// erasing pass draws exactly as many segments (commands/input/feedback.cpp).
//
// Times are microseconds of a monotonic clock; a frame of 0 never runs out.
// User-interface thread only.
#pragma once

#include <cstdint>

class InputGate {
  public:
    using Clock = int64_t (*)();  // microseconds, monotonic

    // `clock` null: std::chrono::steady_clock.
    explicit InputGate(int64_t frame_us = 16000, Clock clock = nullptr) : frame_us_(frame_us), clock_(clock) {}

    // A key, a button or a move to another place arrived.
    void input_seen() { seen_ = true; }
    // A feedback draw starts: earlier input is being handled now, the frame restarts.
    void draw_begin();
    // True when the running draw should stop for new input.
    bool pending() const;

    void set_frame_us(int64_t frame_us) { frame_us_ = frame_us; }
    int64_t frame_us() const { return frame_us_; }

  private:
    int64_t now() const;

    int64_t frame_us_;
    Clock clock_;
    int64_t started_ = 0;
    bool drawing_ = false;
    bool seen_ = false;
};

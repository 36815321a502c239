// How the ray tracer abandons a frame: every failure raises one internal exception,
// RtError, which rt_render catches (also when raised on a worker thread and handed
// back). No RtError ever leaves the ray tracer's entry point.
#pragma once

#include <exception>
#include <string>

// An allocation that failed raises kOutOfMemory (model/math/result.h), shown as string 42040.
inline constexpr int kRtErrorGeneral = 153; // every other ray-tracer failure

class RtError : public std::exception {
public:
    RtError(int code, const char* message);
    int code() const { return code_; }
    // The message, at most 255 characters.
    const char* what() const noexcept override { return message_.c_str(); }

private:
    int code_;
    std::string message_;
};

// Raise code with message; never returns.
[[noreturn]] void rt_error(int code, const char* message);
// Raise the memory error naming the allocation that failed; never returns.
[[noreturn]] void rt_error_memory(const char* label);

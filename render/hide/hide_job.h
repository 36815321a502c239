// The hidden-line removal run: the worker procedure over a HideJob, the thread that
// runs it with a cancel request, the result drawing's layers, and handing the result
// over to the drawing that will show it.
#pragma once

#include <thread>

#include "render/hide/hide_store.h"

// Fills job->result's layers: "default" (made when missing) for the visible lines and,
// when `keep_hidden`, a layer "Hidden". 0 or 8.
[[nodiscard]] int hide_job_layers(HideJob* job, bool keep_hidden);

// The worker procedure: bounds pass, fit, store pass, visibility. Sets and returns
// job->result. Never throws. Status texts and progress go to job->host; the last call
// is progress(0, null).
int hlr_run(HideJob* job);

// Moves the result's lines and layers into `into` (a drawing with a "default" layer):
// visible lines onto its "default" layer, the "Hidden" layer as a layer; line styles
// are bound by name, copied in when `into` has none of that name. 0, 8 or 13.
[[nodiscard]] int hide_result_adopt(MODEL* from, MODEL* into);

// One run on its own thread.
class HideWorker {
  public:
    HideWorker() = default;
    ~HideWorker();
    HideWorker(const HideWorker&) = delete;
    HideWorker& operator=(const HideWorker&) = delete;

    // Starts hlr_run(job); `done` (may be null) runs on the worker after it.
    void start(HideJob* job, void (*done)(void* arg) = nullptr, void* arg = nullptr);
    void cancel();
    // Waits for the worker; nothing when none runs.
    void join();
    bool running() const { return thread_.joinable(); }

  private:
    HideJob* job_ = nullptr;
    std::thread thread_;
};

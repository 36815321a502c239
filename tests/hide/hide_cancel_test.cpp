// A cancel request in each pass of a hidden-line run: the bounds pass and the store pass
// end without lines, the visibility pass keeps the lines made so far; every run says 4
// and closes its progress.
#include <gtest/gtest.h>

#include "hide_scene.h"

using namespace hide_test;

namespace {

// Cancels at the n-th progress step of one pass: 0 bounds, 1 store, 2 visibility.
struct PassHost : HideHost {
    HideJob* job = nullptr;
    int pass_wanted = 0, step_wanted = 1;
    int pass = 0, steps = 0, cancelled_in = -1;
    bool closed = false;
    void progress(int stage, const char* text) override {
        if (stage == 0) {
            if (!text) closed = true;
            else if (std::string(text).rfind("... (", 0) == 0) pass = 2;  // store pass over
            return;
        }
        // The bounds pass steps without a text, the store pass with its counter.
        if (pass == 0 && text) pass = 1;
        if (pass == pass_wanted && ++steps == step_wanted) {
            job->cancel.store(1);
            cancelled_in = pass;
        }
    }
    bool continue_without_hiding() override { return true; }
};

}  // namespace

TEST(HideCancel, EveryPassStopsOnARequest) {
    Scene s;
    for (int i = 0; i < 60; ++i)
        add_box(s.model.get(), {float(i % 10), float(i / 10), 0}, {i % 10 + 0.7f, i / 10 + 0.7f, 1});
    s.look({1, 0.8, 1.3});
    const HideRunResult full = run_hide(s, true);
    ASSERT_EQ(full.code, 0);
    const char* names[] = {"bounds pass", "store pass", "visibility pass"};
    for (int pass = 0; pass < 3; ++pass) {
        SCOPED_TRACE(names[pass]);
        auto result = rtc_make<MODEL>();
        PassHost host;
        HideJob job;
        host.job = &job;
        host.pass_wanted = pass;
        host.step_wanted = 2;
        job.source = s.view.get();
        job.drawing = s.model.get();
        job.result_drawing = result.get();
        job.host = &host;
        EXPECT_EQ(hide_job_layers(&job, true), 0);
        EXPECT_EQ(hlr_run(&job), kHideCancelled);
        EXPECT_EQ(job.result, kHideCancelled);
        EXPECT_TRUE(host.closed);
        const size_t lines = segments_of(job.visible_layer).size() + segments_of(job.hidden_layer).size();
        EXPECT_EQ(host.cancelled_in, pass);
        if (pass < 2) {
            EXPECT_EQ(lines, 0u);
        } else {
            EXPECT_GT(lines, 0u);
            EXPECT_LT(lines, full.visible.size() + full.hidden.size());
        }
    }
}

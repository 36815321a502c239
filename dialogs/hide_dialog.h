// The Hide dialog: picture size, tolerances, Keep hidden and the camera; Start runs the
// hidden-line removal on a worker thread while the dialog shows its status and a
// progress bar; Cancel asks the worker to stop. The dialog ends by itself when the
// worker is done.
//
// The worker only records its latest status and progress step count (under a
// mutex); the dialog reads them a few dozen times a second, so the window thread
// never falls behind a fast worker and sees its end (and a Cancel) at once.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "dialogs/dlg.h"
#include "render/hide/hide_job.h"

class QProgressBar;
class QTimer;

inline constexpr int kDlgHide = 323;
inline constexpr int kIdcHideStatus = 2387;
inline constexpr int kIdcHideWidth = 45560, kIdcHideHeight = 45561, kIdcHideLinear = 45562,
                     kIdcHideAngular = 45563, kIdcHideCamera = 45565, kIdcHideKeep = 45554,
                     kIdcHideStart = 45557, kIdcHideProgress = 45558;

// What the user chose.
struct HideChoice {
    double width = 100.0, height = 100.0;  // perspective picture
    double linear = 0.1;                   // mm
    double angular = 0.0;                  // degrees
    bool keep_hidden = false;
    int camera = -1;  // index into the offered cameras, -1 none (the view's projection)
};

class CHideDlg : public CDlg, public HideHost {
  public:
    // `prepare` turns the choice into a job ready to run (null: not started).
    using Prepare = std::function<HideJob*(const HideChoice&)>;
    CHideDlg(QWidget* parent, std::vector<std::string> cameras, HideChoice initial, Prepare prepare);
    ~CHideDlg() override;

    bool started() const { return job_ != nullptr; }
    // After the modal run: a worker still running (the dialog was closed under it) is
    // cancelled and waited for.
    void wait_worker();
    const HideChoice& choice() const { return choice_; }
    std::string status_text() const;
    int progress_value() const;
    // The progress steps the worker has reported in this run so far.
    int64_t steps_reported() const;

    // Worker side: posted to the dialog's thread.
    void progress(int stage, const char* text) override;
    bool continue_without_hiding() override;

  protected:
    void CreateControls() override;
    void DoDataExchange(CDataExchange* dx) override;
    void OnOK() override;
    void OnCancel() override;
    void OnCommand(int id) override;

  private:
    void start();
    void finished();
    void enable_inputs(bool on);
    // Shows the worker's latest status and step count (window thread).
    void show_progress();

    std::vector<std::string> cameras_;
    HideChoice choice_;
    Prepare prepare_;
    HideJob* job_ = nullptr;
    HideWorker worker_;
    QProgressBar* bar_ = nullptr;
    QTimer* ticker_ = nullptr;
    int keep_ = 0;

    // What the worker reported last, read by show_progress.
    struct Reported {
        int64_t steps = 0;
        std::string text;
        bool text_changed = false;
    };
    mutable std::mutex reported_lock_;
    Reported reported_;
    int64_t steps_shown_ = 0;
};

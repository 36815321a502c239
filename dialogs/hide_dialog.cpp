// The Hide dialog (declared in hide_dialog.h).
#include "dialogs/hide_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "model/services/msgbox.h"
#include "model/services/strtab.h"
#include "resources/string_ids.h"
#include "shell/ddx.h"

namespace {
constexpr int kLabelWidth = IDS_HIDE_WIDTH, kLabelHeight = IDS_HIDE_HEIGHT, kLabelLinear = IDS_HIDE_LINEAR,
              kLabelAngular = IDS_HIDE_ANGULAR, kLabelCamera = IDS_HIDE_CAMERA;
constexpr uint32_t kStrNoCamera = IDS_HIDE_NO_CAMERA;        // "(none: the view's projection)"
constexpr uint32_t kStrNoHiding = IDS_THERE_ARE_NO_HIDDING;  // "There are no hidding objects.\nContinue?"
constexpr int kProgressIntervalMs = 40;   // at most 25 screen updates a second
}  // namespace

CHideDlg::CHideDlg(QWidget* parent, std::vector<std::string> cameras, HideChoice initial, Prepare prepare)
    : CDlg(kDlgHide, parent), cameras_(std::move(cameras)), choice_(initial), prepare_(std::move(prepare)) {
    keep_ = choice_.keep_hidden ? 1 : 0;
}

CHideDlg::~CHideDlg() {
    worker_.cancel();
    worker_.join();
}

void CHideDlg::CreateControls() {
    int row = 0;
    const std::pair<int, int> fields[] = {{kLabelWidth, kIdcHideWidth},
                                          {kLabelHeight, kIdcHideHeight},
                                          {kLabelLinear, kIdcHideLinear},
                                          {kLabelAngular, kIdcHideAngular}};
    for (const auto& [label, edit] : fields) {
        add_static(label, res_load_string(label), row, 0);
        add_edit(edit, row++, 1);
    }
    add_static(kLabelCamera, res_load_string(kLabelCamera), row, 0);
    QComboBox* box = add_combo(kIdcHideCamera, row++, 1);
    box->addItem(QString::fromStdString(res_load_string(kStrNoCamera)));
    for (const std::string& c : cameras_) box->addItem(QString::fromStdString(c));
    QObject::connect(box, &QComboBox::currentIndexChanged, this, [this](int i) {
        // The picture size is that of a perspective picture.
        GetDlgItem(kIdcHideWidth)->setEnabled(i > 0);
        GetDlgItem(kIdcHideHeight)->setEnabled(i > 0);
    });
    add_check(kIdcHideKeep, res_load_string(kIdcHideKeep), row++, 0, 2);
    QLabel* status = add_static(kIdcHideStatus, "", row++, 0, 2);
    status->setMinimumWidth(260);
    bar_ = new QProgressBar(this);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    register_control(kIdcHideProgress, bar_);
    if (auto* grid = findChild<QGridLayout*>()) grid->addWidget(bar_, row++, 0, 1, 2);
    add_button(kIdcHideStart, res_load_string(kIdcHideStart), row, 0, true);
    add_button(IDCANCEL, std::string("Cancel"), row, 1);
}

void CHideDlg::DoDataExchange(CDataExchange* dx) {
    set_number_format_from(nullptr, 6, 64);
    DDX_Double(dx, kIdcHideWidth, choice_.width);
    DDV_MinMaxDouble(dx, choice_.width, 1.0, 1e6);
    DDX_Double(dx, kIdcHideHeight, choice_.height);
    DDV_MinMaxDouble(dx, choice_.height, 1.0, 1e6);
    DDX_Double(dx, kIdcHideLinear, choice_.linear);
    DDV_MinMaxDouble(dx, choice_.linear, 0.0, 1e6);
    DDX_Double(dx, kIdcHideAngular, choice_.angular);
    DDV_MinMaxDouble(dx, choice_.angular, 0.0, 90.0);
    DDX_Check(dx, kIdcHideKeep, keep_);
    auto* box = qobject_cast<QComboBox*>(GetDlgItem(kIdcHideCamera));
    if (!box) return;
    const int n = static_cast<int>(cameras_.size());
    if (!dx->saving()) {
        box->setCurrentIndex(choice_.camera >= 0 && choice_.camera < n ? choice_.camera + 1 : 0);
        GetDlgItem(kIdcHideWidth)->setEnabled(box->currentIndex() > 0);
        GetDlgItem(kIdcHideHeight)->setEnabled(box->currentIndex() > 0);
    } else {
        choice_.camera = box->currentIndex() - 1;
        choice_.keep_hidden = keep_ != 0;
    }
}

// Enter starts, as the default button does.
void CHideDlg::OnOK() {
    if (!job_) start();
}

void CHideDlg::OnCancel() {
    if (job_) {
        job_->cancel.store(1);  // the worker stops at its next visit; the dialog ends then
        return;
    }
    CDlg::OnCancel();
}

void CHideDlg::OnCommand(int id) {
    if (id == kIdcHideStart && !job_) start();
}

void CHideDlg::enable_inputs(bool on) {
    for (int id : {kIdcHideWidth, kIdcHideHeight, kIdcHideLinear, kIdcHideAngular, kIdcHideCamera, kIdcHideKeep,
                   kIdcHideStart})
        if (QWidget* w = GetDlgItem(id)) w->setEnabled(on);
}

void CHideDlg::start() {
    if (!UpdateData(true)) return;
    HideJob* job = prepare_ ? prepare_(choice_) : nullptr;
    if (!job) return;
    job_ = job;
    job->host = this;
    enable_inputs(false);
    {
        std::lock_guard<std::mutex> lock(reported_lock_);
        reported_ = Reported();
    }
    steps_shown_ = 0;
    if (!ticker_) {
        ticker_ = new QTimer(this);
        ticker_->setInterval(kProgressIntervalMs);
        QObject::connect(ticker_, &QTimer::timeout, this, [this] { show_progress(); });
    }
    ticker_->start();
    worker_.start(job, [](void* self) {
        auto* dlg = static_cast<CHideDlg*>(self);
        QMetaObject::invokeMethod(dlg, [dlg] { dlg->finished(); }, Qt::QueuedConnection);
    }, this);
}

void CHideDlg::finished() {
    worker_.join();
    if (ticker_) ticker_->stop();
    show_progress();  // the last status the worker set
    if (!ended()) EndDialog(IDOK);
}

// Worker side: only the latest report is kept; nothing is posted.
void CHideDlg::progress(int stage, const char* text) {
    std::lock_guard<std::mutex> lock(reported_lock_);
    if (stage != 0) ++reported_.steps;
    // A step's empty text leaves the status alone; the end (null) comes with the
    // worker's finish.
    if (text && (stage == 0 || *text)) {
        reported_.text = text;
        reported_.text_changed = true;
    }
}

void CHideDlg::show_progress() {
    Reported now;
    {
        std::lock_guard<std::mutex> lock(reported_lock_);
        now = reported_;
        reported_.text_changed = false;
    }
    if (now.text_changed)
        if (auto* status = qobject_cast<QLabel*>(GetDlgItem(kIdcHideStatus)))
            status->setText(QString::fromStdString(now.text));
    if (now.steps != steps_shown_ && bar_) {
        // The bar goes up 10 a step and starts again after 100.
        steps_shown_ = now.steps;
        bar_->setValue(static_cast<int>(now.steps % 11) * 10);
    }
}

bool CHideDlg::continue_without_hiding() {
    auto ask = [] {
        return msgbox_show(kStrIdWarning, res_load_string(kStrNoHiding).c_str(), kMbYesNo | kMbIconQuestion) == kIdYes;
    };
    if (QThread::currentThread() == thread()) return ask();
    // Asked on the dialog's thread; the worker waits for the answer, or for a cancel
    // request when the dialog goes away unanswered.
    struct Answer {
        std::mutex m;
        std::condition_variable cv;
        bool done = false, yes = false;
    };
    auto answer = std::make_shared<Answer>();
    QMetaObject::invokeMethod(
        this,
        [this, answer, ask] {
            // Not asked any more once the user cancelled.
            const bool yes = !(job_ && job_->cancel.load() != 0) && ask();
            std::lock_guard<std::mutex> lock(answer->m);
            answer->yes = yes;
            answer->done = true;
            answer->cv.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock<std::mutex> lock(answer->m);
    while (!answer->done) {
        if (job_ && job_->cancel.load() != 0) return false;
        answer->cv.wait_for(lock, std::chrono::milliseconds(50));
    }
    return answer->yes;
}

void CHideDlg::wait_worker() {
    if (!worker_.running()) return;
    // The dialog went without the worker's end: that is a cancel.
    worker_.cancel();
    worker_.join();
}

std::string CHideDlg::status_text() const {
    auto* status = qobject_cast<QLabel*>(GetDlgItem(kIdcHideStatus));
    return status ? status->text().toStdString() : std::string();
}

int CHideDlg::progress_value() const {
    return bar_ ? bar_->value() : 0;
}

int64_t CHideDlg::steps_reported() const {
    std::lock_guard<std::mutex> lock(reported_lock_);
    return reported_.steps;
}

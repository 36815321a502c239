// The image view: painting, hand scrolling, clipboard, printing.
#include "shell/image/iview.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "graphics/raster/dither.h"
#include "model/math/result.h"
#include "model/services/msgbox.h"
#include "model/services/strtab.h"
#include "resources/string_ids.h"
#include "shell/cmd_ids.h"
#include "shell/core/image_block.h"
#include "shell/image/drawing_print_cmd.h"
#include "shell/image/imgdoc.h"
#include "shell/image/page_setup_dlg.h"
#include "shell/image/print_file.h"

namespace {

// The 8-bit layout of the dither: index 32 + 32 * red(7) + 8 * blue(4) + green(8).
const QList<QRgb>& palette8() {
    static const QList<QRgb> table = [] {
        QList<QRgb> t(256, qRgb(0, 0, 0));
        for (int i = 32; i < 256; ++i) {
            const int k = i - 32;
            t[i] = qRgb(k / 32 * 255 / 6, k % 8 * 255 / 7, k / 8 % 4 * 255 / 3);
        }
        return t;
    }();
    return table;
}

inline constexpr uint32_t kStrPrintProgress = IDS_PRINT_PROGRESS;  // "Printing %d %% done"

std::function<bool(QPrinter*)>& print_dialog_hook() {
    static std::function<bool(QPrinter*)> hook;
    return hook;
}

// The 16 colours of a 4-bit screen (as colour words: red in the low byte).
const uint32_t kVga16[16] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0xC0C0C0,
                             0x808080, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};

}  // namespace

CIView::CIView(CImgDoc* doc, QWidget* parent) : QAbstractScrollArea(parent), doc_(doc) {
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    horizontalScrollBar()->setSingleStep(16);
    verticalScrollBar()->setSingleStep(16);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, viewport(), qOverload<>(&QWidget::update));
    connect(verticalScrollBar(), &QScrollBar::valueChanged, viewport(), qOverload<>(&QWidget::update));
    static const bool cube = [] {
        palette_build_cube27(kVga16);
        return true;
    }();
    (void)cube;
    update_scroll_bars();
}

CIView::~CIView() = default;

int CIView::depth() const {
    if (depth_) return depth_;
    const QScreen* s = screen();
    return s ? s->depth() : 24;
}

QSize CIView::image_size() const {
    return doc_ && doc_->has_image() ? QSize(doc_->width(), doc_->height()) : QSize(0, 0);
}

QPoint CIView::scroll_position() const {
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

void CIView::scroll_to(int x, int y) {
    horizontalScrollBar()->setValue(x);
    verticalScrollBar()->setValue(y);
}

void CIView::update_scroll_bars() {
    const QSize img = image_size(), vp = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, img.width() - vp.width()));
    verticalScrollBar()->setRange(0, std::max(0, img.height() - vp.height()));
    horizontalScrollBar()->setPageStep(vp.width());
    verticalScrollBar()->setPageStep(vp.height());
}

void CIView::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    update_scroll_bars();
}

void CIView::paintEvent(QPaintEvent* e) {
    QPainter p(viewport());
    const QPoint off = scroll_position();
    const QRect area = e->rect().translated(off);  // image coordinates
    const QSize img = image_size();
    // Light grey right of and below the image.
    p.setBrush(QColor(192, 192, 192));
    p.setPen(Qt::NoPen);
    p.drawRect(QRect(img.width(), area.top(), std::max(0, area.right() - img.width() + 1), area.height()).translated(-off));
    p.drawRect(QRect(area.left(), img.height(), area.width(), std::max(0, area.bottom() - img.height() + 1)).translated(-off));
    const QRect visible = area.intersected(QRect(QPoint(0, 0), img));
    if (visible.isEmpty()) return;
    const int d = depth();
    if (d >= 24) {
        // The padded rows as they are: width pixels shown, the padding skipped.
        const int stride = static_cast<int>(image_block_row_pixels(doc_->width()) * 3);
        const QImage image(doc_->pixels(), doc_->width(), doc_->height(), stride, QImage::Format_BGR888);
        p.drawImage(visible.topLeft() - off, image, visible);
        return;
    }
    paint_dithered(p, visible, d);
}

void CIView::paint_dithered(QPainter& p, const QRect& r, int d) {
    const QPoint off = scroll_position();
    const size_t stride = static_cast<size_t>(image_block_row_pixels(doc_->width())) * 3;
    const bool words = d > 8;
    QImage row(r.width(), 1, words ? QImage::Format_RGB555 : QImage::Format_Indexed8);
    if (!words) {
        if (d > 4) {
            row.setColorTable(palette8());
        } else {
            QList<QRgb> t;
            for (uint32_t c : kVga16) t << qRgb(c & 255, (c >> 8) & 255, (c >> 16) & 255);
            row.setColorTable(t);
        }
    }
    const int dither_depth = d > 8 ? 16 : d > 4 ? 8 : 4;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const uint8_t* src = doc_->pixels() + y * stride + static_cast<size_t>(r.left()) * 3;
        // The screen position decides the dither threshold.
        dither_row_rgb24(row.scanLine(0), src, r.left() - off.x(), y - off.y(), r.width(), dither_depth);
        p.drawImage(QPoint(r.left(), y) - off, row);
    }
}

void CIView::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    dragging_ = true;
    anchor_ = e->position().toPoint();
}

void CIView::mouseMoveEvent(QMouseEvent* e) {
    if (!dragging_) return;
    const QPoint pos = e->position().toPoint();
    const QPoint next = scroll_position() + (anchor_ - pos);
    scroll_to(next.x(), next.y());  // the bars keep it within the image
    anchor_ = pos;
}

void CIView::mouseReleaseEvent(QMouseEvent*) { dragging_ = false; }

bool CIView::copy_to_clipboard() {
    if (!doc_ || !doc_->can_use_image()) return false;
    const int stride = static_cast<int>(image_block_row_pixels(doc_->width()) * 3);
    const QImage view(doc_->pixels(), doc_->width(), doc_->height(), stride, QImage::Format_BGR888);
    QImage copy = view.copy();  // the clipboard keeps its own pixels
    if (copy.isNull()) return false;
    QApplication::clipboard()->setImage(copy);
    return true;
}

void CIView::job_message(std::unique_ptr<std::string> text, int kind) {
    if (text && kind == 1 && doc_ && doc_->has_image()) msgbox_printf(0, "%s", text->c_str());
}

PrinterGeometry printer_geometry(QPrinter* printer) {
    PrinterGeometry g;
    g.dpi_x = printer->logicalDpiX();
    g.dpi_y = printer->logicalDpiY();
    const QRect paper = printer->paperRect(QPrinter::DevicePixel).toRect();
    const QRect page = printer->pageRect(QPrinter::DevicePixel).toRect();
    g.physical_w = paper.width();
    g.physical_h = paper.height();
    g.printable_w = page.width();
    g.printable_h = page.height();
    g.offset_x = page.left() - paper.left();
    g.offset_y = page.top() - paper.top();
    return g;
}

int printer_orientation(QPrinter* printer) {
    return printer->pageLayout().orientation() == QPageLayout::Landscape ? kLandscape : kPortrait;
}

PageSetupModel page_setup_model_of(QPrinter* printer) {
    PageSetupModel m;
    const QSizeF paper = printer->pageLayout().fullRectPoints().size();  // points
    m.paper_w = paper.width() * 1000 / 72;
    m.paper_h = paper.height() * 1000 / 72;
    const QMarginsF min = printer->pageLayout().minimumMargins();
    const double k = printer->pageLayout().units() == QPageLayout::Inch ? 1000 : 1000 / 25.4;
    m.minimum = {int32_t(min.left() * k), int32_t(min.top() * k), int32_t(min.right() * k), int32_t(min.bottom() * k)};
    return m;
}

std::string image_print_progress_text(int percent) {
    char text[128];
    std::snprintf(text, sizeof text, res_load_string(kStrPrintProgress).c_str(), percent);
    return text;
}

void image_print_set_dialog_hook(std::function<bool(QPrinter*)> hook) { print_dialog_hook() = std::move(hook); }

bool CIView::print(QPrinter* printer, const std::function<bool(int)>& band_done, int* failure) {
    if (failure) *failure = kBadArgument;
    if (!doc_ || !doc_->can_use_image() || !printer) return false;
    // Margins measured from the paper's edge: no page margins of Qt's own.
    printer->setFullPage(true);
    const PrinterGeometry g = printer_geometry(printer);
    const Margins min = printer_minimum_margins(g);
    Margins m = margins;
    m.left = std::max(m.left, min.left), m.top = std::max(m.top, min.top);
    m.right = std::max(m.right, min.right), m.bottom = std::max(m.bottom, min.bottom);
    // With a full page the device margins count from the paper's edge.
    const Margins device = printer_device_margins(m, Margins{}, g);
    PrinterGeometry paper = g;
    paper.printable_w = g.physical_w;
    paper.printable_h = g.physical_h;
    PrintRect r;
    if (!image_print_rect(paper, device, doc_->width(), doc_->height(), &r)) return false;
    PrintFile file(printer);
    if (file.error()) {
        if (failure) *failure = file.error();
        return false;
    }
    QPainter p;
    if (!p.begin(printer)) return false;
    // Device pixels, set afresh: the print engine of a printer shared with drawing
    // prints would otherwise keep the last print's page transform (their scale, y up).
    p.setWorldTransform(QTransform(), false);
    // The pixels go out as they are: a lossy copy would blur hard edges.
    p.setRenderHint(QPainter::LosslessImageRendering);
    const int stride = static_cast<int>(image_block_row_pixels(doc_->width()) * 3);
    const int w = doc_->width(), h = doc_->height();
    // Band by band, top first, each band handed to the print engine as an image of its
    // own rows, so that the engine's work (a file's image compression) goes band by
    // band with the progress. A band's image reaches one row beyond it on either side,
    // so smoothing meets true neighbours at its edges, and it is clipped to its rows and
    // the next band's first: that band then paints the seam row over alike.
    auto row_y = [&](int row) { return r.y + double(r.h) * row / h; };
    for (int y0 = 0; y0 < h; y0 += kImagePrintBandRows) {
        const int rows = std::min(kImagePrintBandRows, h - y0);
        const int first = std::max(0, y0 - 1), end = std::min(h, y0 + rows + 1);
        const QImage band(doc_->pixels() + size_t(first) * stride, w, end - first, stride, QImage::Format_BGR888);
        p.setClipRect(QRectF(r.x, row_y(y0), r.w, row_y(end) - row_y(y0)));
        p.drawImage(QRectF(r.x, row_y(first), r.w, row_y(end) - row_y(first)), band);
        if (band_done && !band_done(static_cast<int>(int64_t{100} * (y0 + rows) / h))) {
            // Stopped: the job is dropped where the printer can, and a print to a
            // file leaves no half-printed file behind.
            printer->abort();
            p.end();
            return false;
        }
    }
    if (!p.end()) return false;
    const int written = file.finish();
    if (failure) *failure = written;
    return written == 0;
}

bool CIView::page_setup(QPrinter* printer) {
    if (!printer) return false;
    margins_follow_orientation(&margins, &orientation, printer_orientation(printer));
    PageSetupModel m = page_setup_model_of(printer);
    m.left = margins.left, m.top = margins.top, m.right = margins.right, m.bottom = margins.bottom;
    m.full_page = false;
    m.image_w = doc_ && doc_->has_image() ? doc_->width() : 1;
    m.image_h = doc_ && doc_->has_image() ? doc_->height() : 1;
    QImage preview;
    if (doc_ && doc_->has_image())
        preview = QImage(doc_->pixels(), doc_->width(), doc_->height(),
                         static_cast<int>(image_block_row_pixels(doc_->width()) * 3), QImage::Format_BGR888);
    CPageLayoutDlg dlg(&m, &preview, 321, this);
    if (dlg.DoModal() != IDOK) return false;
    margins = m.margins();
    orientation = dlg.landscape() ? kLandscape : kPortrait;
    printer->setPageOrientation(dlg.landscape() ? QPageLayout::Landscape : QPageLayout::Portrait);
    return true;
}

bool CIView::print_with_dialog(QPrinter* printer) {
    if (!printer || !doc_ || !doc_->can_use_image()) return false;
    if (print_dialog_hook()) {
        if (!print_dialog_hook()(printer)) return false;
    } else {
        QPrintDialog dlg(printer, this);
        dlg.setMinMax(1, 1);
        if (dlg.exec() != QDialog::Accepted) return false;
    }
    // The progress on the main window's message bar and in a small window whose
    // Cancel stops the print between bands; windows keep repainting meanwhile.
    auto* main = qobject_cast<QMainWindow*>(window());
    QProgressDialog progress(QString::fromStdString(image_print_progress_text(0)), QStringLiteral("Cancel"), 0, 100,
                             this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setValue(0);
    bool cancelled = false;
    int failure = 0;
    const bool done = print(
        printer,
        [&](int percent) {
            const QString text = QString::fromStdString(image_print_progress_text(percent));
            if (main) main->statusBar()->showMessage(text);
            progress.setLabelText(text);
            progress.setValue(percent);  // a modal progress window also runs pending events here
            cancelled = progress.wasCanceled();
            return !cancelled;
        },
        &failure);
    if (main) main->statusBar()->clearMessage();
    // A print the printer would not start or finish is told; one stopped by Cancel is not.
    if (!done && !cancelled) print_tell_failure(failure, 0, 0, true);
    return done;
}

bool CIView::print_preview(QPrinter* printer) {
    if (!printer || !doc_ || !doc_->can_use_image()) return false;
    QPrintPreviewDialog dlg(printer, this);
    // The preview's Print paints on the printer itself: a failure then is told.
    connect(&dlg, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) {
        int failure = 0;
        if (!print(p, {}, &failure) && !print_is_preview(p)) print_tell_failure(failure, 0, 0, true);
    });
    return dlg.exec() == QDialog::Accepted;
}

bool CIView::OnCmdMsg(int id, CCmdUI* ui) {
    if (id != ID_EDIT_COPY && id != ID_FILE_PRINT && id != ID_FILE_PRINT_PREVIEW && id != ID_FILE_PAGE_SETUP)
        return doc_ && doc_->OnCmdMsg(id, ui);
    const bool on = doc_ && doc_->can_use_image();
    if (ui) {
        ui->Enable(on);
        return true;
    }
    if (on && id == ID_EDIT_COPY) copy_to_clipboard();
    return true;
}

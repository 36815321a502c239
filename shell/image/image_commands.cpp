// Open Image and Print Setup.
#include "shell/image/image_commands.h"

#include <QPrintDialog>
#include <QPrinter>
#include <string>

#include "model/services/strtab.h"
#include "resources/string_ids.h"
#include "shell/cmd_ids.h"
#include "shell/image/image_dialogs.h"
#include "shell/image/image_frame.h"
#include "shell/mainapp.h"
#include "shell/mainframe.h"
#include "shell/ui_handlers.h"

namespace {

std::function<bool(QPrinter*)>& setup_hook() {
    static std::function<bool(QPrinter*)> hook;
    return hook;
}

constexpr uint32_t kStrPrintSetup = IDS_PRINT_SETUP;  // "...\nPrint Setup"

}  // namespace

void print_setup_set_dialog_hook(std::function<bool(QPrinter*)> hook) { setup_hook() = std::move(hook); }

bool open_image_command() {
    CMainApp* app = CMainApp::instance();
    if (!app) return false;
    std::string name;
    const auto file_dialog = image_window_dialogs().image_file;
    if (!file_dialog || file_dialog(&name, true, app->main_frame()) < 0 || name.empty()) return false;
    return app->OpenDocumentFile(name) != nullptr;
}

bool print_setup_command(QWidget* parent) {
    QPrinter* printer = image_printer();
    if (!printer) return false;
    if (setup_hook()) return setup_hook()(printer);
    QPrintDialog dlg(printer, parent);
    // The printer and its properties only: what to print is asked by Print.
    dlg.setOptions(QAbstractPrintDialog::PrintShowPageSize);
    const std::string caption = res_load_string(kStrPrintSetup);
    const size_t nl = caption.find('\n');
    dlg.setWindowTitle(QString::fromStdString(nl == std::string::npos ? caption : caption.substr(nl + 1)));
    return dlg.exec() == QDialog::Accepted;
}

void image_commands_install() {
    frame_handler_set(ID_OPEN_IMAGE, {[](CMainFrame*, int) { open_image_command(); }, nullptr});
    frame_handler_set(ID_FILE_PRINT_SETUP, {[](CMainFrame* f, int) { print_setup_command(f); }, nullptr});
}

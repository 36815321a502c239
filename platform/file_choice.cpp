// File choice through a Qt file dialog, with its test hook.
#include "platform/file_choice.h"

#include <QFileDialog>

namespace {
FileChoiceHook& hook() {
    static FileChoiceHook h;
    return h;
}
}  // namespace

FileChoiceHook platform_set_file_choice_hook(FileChoiceHook h) {
    FileChoiceHook old = std::move(hook());
    hook() = std::move(h);
    return old;
}

bool platform_choose_file(QWidget* owner, const FileChoiceRequest& request, std::string* path) {
    if (!path) return false;
    if (hook()) return hook()(request, path);
    QFileDialog dlg(owner, QString::fromStdString(request.caption));
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dlg.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!request.filter.empty()) dlg.setNameFilter(QString::fromStdString(request.filter));
    if (!request.default_suffix.empty()) dlg.setDefaultSuffix(QString::fromStdString(request.default_suffix));
    if (!request.initial.empty()) dlg.selectFile(QString::fromStdString(request.initial));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return false;
    *path = dlg.selectedFiles().first().toStdString();
    return true;
}

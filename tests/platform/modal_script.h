// A scripted answer to modal dialogs in the window-side tests: the hook is installed
// for the life of the object and the previous one put back afterwards.
#pragma once

#include <utility>

#include "platform/dialog.h"

class ModalScript {
  public:
    explicit ModalScript(ModalDialogHook hook) : old_(platform_set_modal_hook(std::move(hook))) {}
    ~ModalScript() { platform_set_modal_hook(old_); }
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;

  private:
    ModalDialogHook old_;
};

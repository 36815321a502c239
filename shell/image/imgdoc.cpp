// The image document: open, save by extension, CMYK plates.
#include "shell/image/imgdoc.h"

#include <memory>
#include <new>

#include "exchange/file_type.h"
#include "imaging/texture/texture_image.h"
#include "model/db/patt.h"
#include "model/math/result.h"
#include "model/rtc/rtc.h"
#include "model/services/error_text.h"
#include "model/services/log.h"
#include "model/services/msgbox.h"
#include "model/services/strtab.h"
#include "resources/string_ids.h"
#include "shell/cmd_ids.h"
#include "shell/cmd_target.h"
#include "shell/core/image_block.h"
#include "shell/image/image_dialogs.h"
#include "shell/services.h"

namespace {

// Packed RGB pixels of the document's block in a temporary texture image.
std::unique_ptr<MATRPATT> packed_pattern(const CImgDoc& doc) {
    auto p = rtc_make<MATRPATT>();
    if (!p) return nullptr;
    auto* rgb = new (std::nothrow) uint8_t[static_cast<size_t>(doc.width()) * doc.height() * 3];
    if (!rgb) return nullptr;
    image_block_to_packed(doc.pixels(), doc.width(), doc.height(), rgb);
    p->release_image();
    p->width = doc.width();
    p->height = doc.height();
    p->pixels = rgb;
    return p;
}

}  // namespace

CImgDoc::CImgDoc(CDocTemplate* tmpl) : CDocument(tmpl) {
    static const bool decoders = [] {
        texture_image_install_decoders();
        return true;
    }();
    (void)decoders;
}

CImgDoc::~CImgDoc() { clear(); }

void CImgDoc::clear() {
    delete[] pixels_;
    pixels_ = nullptr;
    width_ = height_ = 0;
}

void CImgDoc::set_image(uint8_t* block, int32_t width, int32_t height) {
    clear();
    pixels_ = block;
    width_ = block ? width : 0;
    height_ = block ? height : 0;
}

bool CImgDoc::OnOpenDocument(const char* path) {
    clear();
    SetModifiedFlag(false);
    WaitCursor wait;
    try {
        return open_image(path);
    } catch (const std::bad_alloc&) {
        // Telling the failure ran out of memory too: the document stays empty.
        clear();
        shell_tell_out_of_memory();
        return false;
    }
}

bool CImgDoc::open_image(const char* path) {
    MATRPATT* patt = nullptr;
    int code = texture_image_load(&patt, path, "");
    std::unique_ptr<MATRPATT, void (*)(MATRPATT*)> hold(patt, [](MATRPATT* p) { rtc_destroy(p); });
    if (code == 0) code = patt->make_image_ready();
    if (code == 0) {
        // A new padded block: the pattern's packed rows are never padded in place.
        uint8_t* block = image_block_from_packed(patt->pixels, patt->width, patt->height);
        if (!block) code = kOutOfMemory;
        else set_image(block, patt->width, patt->height);
    }
    if (code != 0) {
        tell_load_failure(path, code);
        return false;
    }
    return true;
}

bool CImgDoc::OnSaveDocument(const char* path) {
    if (!has_image()) return true;
    if (busy_ || !path) return false;
    try {
        return save_image(path);
    } catch (const std::bad_alloc&) {
        // The file on disk is as it was; the document keeps its name and flag.
        shell_tell_out_of_memory();
        return false;
    }
}

bool CImgDoc::save_image(const char* path) {
    int code = kOutOfMemory;
    if (auto p = packed_pattern(*this)) code = texture_image_save(p.get(), path);
    if (code != 0) {
        msgbox_printf(kStrIdError, res_load_string(IDS_IMAGE_SAVE_FAILED).c_str(), path,
                      error_code_text(code, path, FileAccess::write).c_str());
        return false;
    }
    SetPathName(path);
    SetModifiedFlag(false);
    return true;
}

bool CImgDoc::DoSave(const char* path, bool replace) {
    if (!can_use_image()) return false;
    std::string name;
    if (path && image_save_extension_ok(path)) {
        name = path;
    } else {
        name = this->path();
        if (name.empty() && replace) name = image_proposed_name(title());
        const auto file_dialog = image_window_dialogs().image_file;
        if (!file_dialog || file_dialog(&name, false, nullptr) < 0) return false;
    }
    WaitCursor wait;
    return OnSaveDocument(name.c_str());
}

bool CImgDoc::SaveCmyk() {
    if (!can_use_image()) return false;
    std::string name;
    const auto save_dialog = image_window_dialogs().single_type_save;
    if (!save_dialog || !save_dialog(&name, "*.tga", nullptr)) return false;
    WaitCursor wait;
    auto p = packed_pattern(*this);
    const int code = p ? cmyk_save_image(name.c_str(), p->pixels, width_, height_) : kOutOfMemory;
    if (code != 0) {
        msgbox_printf(kStrIdError, res_load_string(IDS_CMYK_SAVE_FAILED).c_str(), name.c_str(),
                      error_code_text(code, name.c_str(), FileAccess::write).c_str());
        return false;
    }
    return true;
}

bool CImgDoc::OnCmdMsg(int id, CCmdUI* ui) {
    switch (id) {
        case ID_FILE_SAVE:
        case ID_FILE_SAVE_AS:
        case ID_SAVE_CMYK:
            if (ui) {
                ui->Enable(can_use_image());
                return true;
            }
            if (id == ID_SAVE_CMYK) SaveCmyk();
            else DoSave(id == ID_FILE_SAVE && !path().empty() ? path().c_str() : nullptr, true);
            return true;
        default:
            return CDocument::OnCmdMsg(id, ui);
    }
}

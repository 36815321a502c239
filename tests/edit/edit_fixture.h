// The fixture of the editing-command suites: a scripted harness with the editing
// commands defined under their ids, message boxes and one-line prompts answered from
// queues, the dialog hooks reset after each test, and small helpers over drawings.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <set>
#include <string>
#include <vector>

#include "../commands/scene.h"
#include "commands/edit/edit.h"
#include "model/db/buffer.h"
#include "model/db/undo.h"
#include "model/services/msgbox.h"
#include "model/services/prefs.h"

inline void define_edit_commands(Harness& h) {
    for (uint32_t id : {15100u, 15101u, 15102u, 15103u, 15104u, 15105u, 15106u, 15107u, 15400u, 15401u, 15402u,
                        15403u, 15404u, 15405u, 15406u, 15407u, 15701u, 15702u, 15703u, 32782u, 32783u})
        h.define(id, edit_command_for(id));
}

class EditTest : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = g_prefs;
        g_prefs.undo_mode = -1;
        msgbox_set_hook([this](const MsgBoxRequest& box) {
            boxes.push_back(box.text);
            if (answers.empty()) return kIdYes;
            const int a = answers.front();
            answers.pop_front();
            return a;
        });
        input_string_set_hook([this](uint32_t prompt, std::string& text, size_t) {
            string_prompts.push_back(prompt);
            if (strings.empty()) return 0;
            text = strings.front();
            strings.pop_front();
            return 1;
        });
    }
    void TearDown() override {
        msgbox_set_hook(nullptr);
        input_string_set_hook(nullptr);
        edit_dialogs() = EditDialogs{};
        clipboard_release();
        g_prefs = saved_;
    }

    std::deque<int> answers;            // message box answers (Yes when empty)
    std::vector<std::string> boxes;     // texts of the boxes shown
    std::deque<std::string> strings;    // one-line answers (Cancel when empty)
    std::vector<uint32_t> string_prompts;
    Preferences saved_;
};

// The drawing objects directly under the layers of the model, in ring order.
inline std::vector<object*> drawing_objects(MODEL* m) {
    std::vector<object*> out;
    ZDLIST* p = m->children;
    do {
        if (auto* c = rtc_cast<CONTAINER>(p); c && c->children) {
            ZDLIST* q = c->children;
            do {
                out.push_back(static_cast<object*>(q));
                q = q->next;
            } while (q != c->children);
        }
        p = p->next;
    } while (p != m->children);
    return out;
}

inline std::set<ZOBJ*> refs_of(const buffer* b) {
    std::set<ZOBJ*> s;
    for (const RefNode* n = b->refs; n; n = n->next)
        if (n->ref) s.insert(n->ref);
    return s;
}

inline Vec3 first_point(object* obj) {
    auto* x = rtc_cast<XPLINE>(obj);
    return x && x->control ? Vec3{x->control->x, x->control->y, x->control->z} : Vec3{NAN, NAN, NAN};
}

inline XPLINE* line_at(MODEL* m, float x, float y, float len = 10) {
    return scene_line(scene_layer(m), {{x, y, 0}, {x + len, y, 0}});
}

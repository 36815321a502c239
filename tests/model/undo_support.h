// Helpers of the undo and buffer tests: a drawing with two layers whose objects are
// made by name, a listing of the drawing's tree, a small script runner for undoable
// steps, and a seeded generator.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <map>
#include <sstream>
#include <string>

#include "model/db/buffer.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/tree.h"
#include "model/db/undo.h"
#include "model/db/wire.h"
#include "model/db/zobj.h"

// Names of a container's children in ring order, containers followed by their own
// listing in brackets: "a G[x y] b". With `classes` each name is prefixed by its class.
inline std::string listing(const CONTAINER* c, bool classes = false) {
    std::string s;
    if (!c->children) return s;
    const ZDLIST* n = c->children;
    do {
        auto* z = static_cast<const ZOBJ*>(n);
        if (!s.empty()) s += ' ';
        if (classes) {
            s += z->klass()->name;
            s += ':';
        }
        s += z->name();
        if (auto* sub = rtc_cast<CONTAINER>(z)) s += '[' + listing(sub, classes) + ']';
        n = n->next;
    } while (n != c->children);
    return s;
}

// A drawing with the layers "default" and "M". Every object made and every class
// record alive at the start is counted: after the model is destroyed the count of
// live objects must be back where it was.
class UndoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        rtc_register_all();
        live_before_ = rtc_live_objects();
        new_drawing();
    }
    void TearDown() override { end_drawing(); }

    void new_drawing() {
        model_ = rtc_make<MODEL>().release();
        ASSERT_NE(model_, nullptr);
        layer_ = static_cast<LAYER*>(model_->first_child());
        auto m = rtc_make<LAYER>();
        m->set_string(0, "M");
        other_ = m.get();
        EXPECT_EQ(container_insert(model_, m.release()), 0);
        named_.clear();
        named_["default"] = layer_;
        named_["M"] = other_;
    }
    // Destroys the drawing; every object made since the start must be gone with it.
    void end_drawing() {
        rtc_destroy(model_);
        model_ = nullptr;
        EXPECT_EQ(rtc_live_objects(), live_before_) << "objects leaked or freed twice";
    }

    // A new polyline (lower-case first letter), camera (a name starting "cam") or
    // group (upper-case) named `name`, in no container.
    ZOBJ* make(const std::string& name) {
        RtcClass* cls = std::isupper(static_cast<unsigned char>(name[0])) ? &CONTAINER::rtc_class
                        : name.starts_with("cam")                         ? &CAMERA::rtc_class
                                                                          : &XPLINE::rtc_class;
        auto* obj = static_cast<ZOBJ*>(rtc_new(name.c_str(), cls).release());
        named_[name] = obj;
        return obj;
    }
    template <class T>
    T* get(const std::string& name) {
        return static_cast<T*>(named_.at(name));
    }
    std::string drawing(bool classes = false) const { return listing(model_, classes); }

    // Runs a script of steps separated by spaces:
    //   +a[@C]  add a new object a to container C ("default" when omitted), new level
    //   &a[@C]  the same without the new-level flag
    //   >a@C    add the existing object a to C (a move), new level; }a@C without flag
    //   -a, ~a  delete a with / without the new-level flag
    //   u r b   undo, redo, rollback;  tN trim to N;  dN drop all but N redo levels
    // A new object that could not be added is destroyed again.
    void run(const std::string& script, int depth) {
        std::istringstream in(script);
        std::string step;
        while (in >> step) {
            const char op = step[0];
            std::string name = step.substr(1), where = "default";
            if (auto at = name.find('@'); at != std::string::npos) {
                where = name.substr(at + 1);
                name.resize(at);
            }
            auto* into = named_.count(where) ? get<CONTAINER>(where) : nullptr;
            switch (op) {
                case '+':
                case '&': {
                    ZOBJ* obj = make(name);
                    if (model_add_object(into, obj, depth, op == '+') != 0) {
                        named_.erase(name);
                        rtc_destroy(obj);
                    }
                    break;
                }
                case '>':
                    EXPECT_EQ(model_add_object(into, get<ZOBJ>(name), depth, 1), 0);
                    break;
                case '}':
                    EXPECT_EQ(model_add_object(into, get<ZOBJ>(name), depth, 0), 0);
                    break;
                case '-':
                    EXPECT_EQ(model_delete_object(get<ZOBJ>(name), depth, 1), 0);
                    break;
                case '~':
                    EXPECT_EQ(model_delete_object(get<ZOBJ>(name), depth, 0), 0);
                    break;
                case 'u':
                    model_undo(model_);
                    break;
                case 'r':
                    model_redo(model_);
                    break;
                case 'b':
                    model_rollback(model_);
                    break;
                case 't':
                    model_undo_trim(model_, std::stoi(name));
                    break;
                case 'd':
                    model_drop_redo(model_, std::stoi(name));
                    break;
                default:
                    ADD_FAILURE() << "bad step " << step;
            }
        }
    }

    long live_before_ = 0;
    MODEL* model_ = nullptr;
    LAYER* layer_ = nullptr;
    LAYER* other_ = nullptr;
    std::map<std::string, ZOBJ*> named_;  // only meaningful while the object lives
};

// xorshift64*: the tests' own seeded generator.
class TestRng {
  public:
    explicit TestRng(uint64_t seed) : s_(seed ? seed : 1) {}
    uint64_t next() {
        s_ ^= s_ >> 12;
        s_ ^= s_ << 25;
        s_ ^= s_ >> 27;
        return s_ * 2685821657736338717ULL;
    }
    int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }

  private:
    uint64_t s_;
};

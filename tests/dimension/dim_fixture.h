// A drawing with a VIEW and an empty dimension group for the dimension tests, and
// readers of what the builders put into the group.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>

#include <memory>
#include <string>
#include <vector>

#include "commands/dimension/dim_geometry.h"
#include "commands/dimension/dim_settings.h"
#include "graphics/view/view.h"
#include "model/db/tree.h"
#include "model/db/wire.h"
#include "model/db/zobj.h"
#include "model/math/matrix.h"
#include "model/rtc/rtc.h"
#include "model/services/profile.h"

class DimFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        static bool registered = false;
        if (!registered) {
            // Settings writes go to a file of the test's own, never the user's.
            char dir[] = "/tmp/zelo_dim_XXXXXX";
            ASSERT_NE(mkdtemp(dir), nullptr);
            setenv("XDG_CONFIG_HOME", dir, 1);
            ASSERT_EQ(settings_open(std::string(dir) + "/settings.ini"), 0);
            rtc_register_all();
            view_type_register();
            registered = true;
        }
        view_ = rtc_make<VIEW>();
        group_ = rtc_make<CONTAINER>();
        ASSERT_TRUE(view_ && group_);
        build_.view = view_.get();
        build_.group = group_.get();
        build_.matrix = kMatIdentity;
        for (auto* set : {dim_set_text_mode, dim_set_arrows, dim_set_leader, dim_set_dframe, dim_set_lframe}) set(0);
        dim_clear_texts();
        dim_set_text_angle(0);
    }

    // The objects of the group in order.
    std::vector<object*> pieces() const {
        std::vector<object*> out;
        ZDLIST* first = group_->children;
        if (!first) return out;
        ZDLIST* p = first;
        do {
            out.push_back(static_cast<object*>(p));
            p = p->next;
        } while (p != first);
        return out;
    }
    template <class T>
    std::vector<T*> of() const {
        std::vector<T*> out;
        for (object* o : pieces())
            if (rtc_is_a(o, &T::rtc_class)) out.push_back(static_cast<T*>(o));
        return out;
    }
    static std::vector<Vec3> points(const XPLINE* x) {
        std::vector<Vec3> out;
        for (const PointNode* p = x->control; p; p = p->next) out.push_back({p->x, p->y, p->z});
        return out;
    }

    std::unique_ptr<VIEW> view_;
    std::unique_ptr<CONTAINER> group_;
    DimBuild build_;
};

// Scripted sessions of New Camera, Spot Light and Omni Light: names given in turn
// ("Light", "Light01", "Camera01"), the spot cone cosines and colour 30, the camera's
// lens values and zoom, Esc at the target adding nothing, and Cancel in the settings
// dialog ending quietly with nothing added.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

#include "commands/model3d/model3d.h"
#include "commands/model3d/scene_objects.h"
#include "graphics/view/colours.h"
#include "model/db/solid.h"
#include "scene.h"
#include "../platform/qt_test_env.h"

namespace {

std::vector<std::string> names_of(const std::vector<LIGHT*>& v) {
    std::vector<std::string> out;
    for (LIGHT* l : v) out.push_back(l->name() ? l->name() : "");
    std::sort(out.begin(), out.end());
    return out;
}

struct Scene {
    Harness h;
    Scene() {
        h.view()->projection.scale = 10.0;
        h.define(kCmdNewCamera, scene_command<cmd_new_camera>);
        h.define(kCmdSpotLight, scene_command<cmd_spot_light>);
        h.define(kCmdOmniLight, scene_command<cmd_omni_light>);
    }
    ~Scene() { g_draw3d_dialogs = Draw3dDialogs{}; }
};

TEST(SceneSessions, OmniLightsAreNamedInTurn) {
    Scene s;
    s.h.click({1, 1, 0}).click({5, 5, 0}).esc();
    EXPECT_EQ(s.h.run(kCmdOmniLight), -1);
    EXPECT_EQ(s.h.shown_prompts(), (std::vector<int>{kPromptLightPosition, kPromptLightPosition, kPromptLightPosition}));
    const auto lights = scene_objects_of<LIGHT>(s.h.model());
    ASSERT_EQ(lights.size(), 2u);
    EXPECT_EQ(names_of(lights), (std::vector<std::string>{"Light", "Light01"}));
    for (LIGHT* l : lights) {
        EXPECT_EQ(l->colour, 30);
        EXPECT_FALSE(rtc_is_a(l, &SPOTLITE::rtc_class));
    }
    EXPECT_EQ(s.h.model()->undo_levels, 2);
}

TEST(SceneSessions, SpotLightConeAndEscAtTheTarget) {
    Scene s;
    s.h.click({1, 1, 0}).click({5, 2, 0}).click({3, 3, 0}).esc();
    EXPECT_EQ(s.h.run(kCmdSpotLight), -1);
    EXPECT_EQ(s.h.shown_prompts(), (std::vector<int>{kPromptLightPosition, kPromptLightTarget, kPromptLightPosition,
                                                     kPromptLightTarget}));
    const auto spots = scene_objects_of<SPOTLITE>(s.h.model());
    ASSERT_EQ(spots.size(), 1u);  // the second one ended at its target
    EXPECT_NEAR(spots[0]->cone_cos[0], 0.9659, 1e-4);
    EXPECT_NEAR(spots[0]->cone_cos[1], 0.9397, 1e-4);
    EXPECT_EQ(spots[0]->colour, 30);
    EXPECT_STREQ(spots[0]->name(), "Light");
    EXPECT_NEAR(spots[0]->target.x, 5, 1e-3);
    EXPECT_NEAR(spots[0]->position.x, 1, 1e-3);
}

// The dialog of a new light opens at the colour the light will get, and the colour
// typed there is the light's colour in the drawing.
TEST(SceneSessions, TheColourTypedForANewLightStands) {
    for (uint32_t id : {kCmdOmniLight, kCmdSpotLight}) {
        SCOPED_TRACE(id);
        Scene s;
        static float opened[4];
        g_draw3d_dialogs.light_settings = [](VIEW*, LIGHT* l) {
            std::copy(l->light_colour, l->light_colour + 4, opened);
            l->light_colour[0] = 1, l->light_colour[1] = 0, l->light_colour[2] = 0;
            return 1;
        };
        s.h.click({1, 1, 0});
        if (id == kCmdSpotLight) s.h.click({5, 2, 0});
        s.h.esc();
        EXPECT_EQ(s.h.run(id), -1);
        float palette[4];
        colour_index_rgb(palette, kNewLightColour);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(opened[i], palette[i]) << i;
        EXPECT_GT(palette[0], 0.5f);  // a light grey, not black
        const auto lights = scene_objects_of<LIGHT>(s.h.model());
        ASSERT_EQ(lights.size(), 1u);
        EXPECT_EQ(lights[0]->colour, kNewLightColour);
        EXPECT_EQ(lights[0]->light_colour[0], 1.0f);
        EXPECT_EQ(lights[0]->light_colour[1], 0.0f);
        EXPECT_EQ(lights[0]->light_colour[2], 0.0f);
    }
}

// Omni and spot lights share one set of names.
TEST(SceneSessions, NewLightNamesAreUniqueAcrossLightKinds) {
    Scene s;
    s.h.click({1, 1, 0}).esc();
    EXPECT_EQ(s.h.run(kCmdOmniLight), -1);
    s.h.click({3, 3, 0}).click({5, 2, 0}).esc();
    EXPECT_EQ(s.h.run(kCmdSpotLight), -1);
    s.h.click({6, 6, 0}).esc();
    EXPECT_EQ(s.h.run(kCmdOmniLight), -1);
    EXPECT_EQ(names_of(scene_objects_of<LIGHT>(s.h.model())), (std::vector<std::string>{"Light", "Light01", "Light02"}));
    EXPECT_STREQ(scene_objects_of<SPOTLITE>(s.h.model())[0]->name(), "Light01");
}

TEST(SceneSessions, CameraValuesAndName) {
    Scene s;
    s.h.click({1, 1, 0}).click({9, 5, 0}).esc();
    EXPECT_EQ(s.h.run(kCmdNewCamera), -1);
    const auto cams = scene_objects_of<CAMERA>(s.h.model());
    ASSERT_EQ(cams.size(), 1u);
    const CAMERA& c = *cams[0];
    EXPECT_STREQ(c.name(), "Camera01");
    float w0, w1;
    std::memcpy(&w0, &c.words[0], 4);
    std::memcpy(&w1, &c.words[1], 4);
    EXPECT_EQ(w0, 500.0f);
    EXPECT_EQ(w1, 0.25f);
    EXPECT_DOUBLE_EQ(c.lens, 1.189295556777823);
    EXPECT_NEAR(c.target.x, 9, 1e-3);
    // Up is perpendicular to the line of sight, side completes the frame.
    const double lx = c.target.x - c.position.x, ly = c.target.y - c.position.y, lz = c.target.z - c.position.z;
    EXPECT_NEAR(lx * c.up.x + ly * c.up.y + lz * c.up.z, 0, 1e-4);
    EXPECT_NEAR(std::hypot(c.side.x, c.side.y, c.side.z), 1, 1e-4);
}

TEST(SceneSessions, CancelInTheSettingsDialogEndsQuietly) {
    for (uint32_t id : {kCmdNewCamera, kCmdOmniLight}) {
        SCOPED_TRACE(id);
        Scene s;
        static int shown;
        shown = 0;
        g_draw3d_dialogs.camera_settings = [](VIEW*, CAMERA*) { return ++shown, 0; };
        g_draw3d_dialogs.light_settings = [](VIEW*, LIGHT*) { return ++shown, 0; };
        s.h.click({1, 1, 0});
        if (id == kCmdNewCamera) s.h.click({4, 4, 0});
        EXPECT_EQ(s.h.run(id), 0);
        EXPECT_EQ(shown, 1);
        EXPECT_TRUE(scene_objects_of<LIGHT>(s.h.model()).empty());
        EXPECT_TRUE(scene_objects_of<CAMERA>(s.h.model()).empty());
        EXPECT_EQ(s.h.model()->undo_levels, 0);
        EXPECT_EQ(s.h.view()->input_mode, 0);
    }
}

}  // namespace

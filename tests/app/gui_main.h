// The start of the real-window test programs: a private XDG home (settings, data,
// runtime folder for the single-instance socket), the application object and a
// private settings file; then the tests; the folder is removed afterwards.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "model/services/profile.h"
#include "platform/app.h"
#include "platform/modal.h"

// `dir` receives the private folder. `setup` runs once the settings are open (hooks
// the program installs, a message-box hook of the test's own); without one of its own
// a message box fails the running test.
inline int gui_test_main(int argc, char** argv, const char* name, std::string* dir,
                         const std::function<void()>& setup = {}) {
    ::testing::InitGoogleTest(&argc, argv);
    const std::string pattern = std::string("/tmp/") + name + "_XXXXXX";
    std::vector<char> tmpl(pattern.begin(), pattern.end());
    tmpl.push_back('\0');
    if (!mkdtemp(tmpl.data())) return 2;
    *dir = tmpl.data();
    for (const char* sub : {"/config", "/data", "/runtime"}) std::filesystem::create_directories(*dir + sub);
    std::filesystem::permissions(*dir + "/runtime", std::filesystem::perms::owner_all);
    setenv("XDG_CONFIG_HOME", (*dir + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (*dir + "/data").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (*dir + "/runtime").c_str(), 1);
    auto qt = platform_create_application(argc, argv);
    if (settings_open(*dir + "/config/settings.ini") != 0) return 2;
    platform_set_message_box_hook([](const MsgBoxRequest& b, QWidget*) {
        ADD_FAILURE() << "unexpected message box: " << b.text;
        return kIdOk;
    });
    if (setup) setup();
    const int r = RUN_ALL_TESTS();
    qt.reset();
    std::error_code ec;
    std::filesystem::remove_all(*dir, ec);
    return r;
}

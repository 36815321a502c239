// Test environment of the application suites: the application object on the
// platform the test runs with (offscreen unless set), and temporary XDG folders so
// that no test reads or writes the user's settings, desktop files or socket.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "model/services/msgbox.h"
#include "model/services/profile.h"
#include "platform/app.h"
#include "platform/modal.h"

class AppTestEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        char tmpl[] = "/tmp/zelo_app_test_XXXXXX";
        const char* dir = mkdtemp(tmpl);
        ASSERT_NE(dir, nullptr);
        dir_ = dir;
        for (const char* sub : {"/config", "/data", "/runtime", "/files"})
            std::filesystem::create_directories(dir_ + sub);
        std::filesystem::permissions(dir_ + "/runtime", std::filesystem::perms::owner_all);
        setenv("XDG_CONFIG_HOME", (dir_ + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (dir_ + "/data").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (dir_ + "/runtime").c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        app_ = platform_create_application(argc_, argv_);
        EXPECT_EQ(settings_open(dir_ + "/config/settings.ini"), 0);
        // No box ever blocks a test: one nobody expected fails it and is answered.
        platform_set_message_box_hook([](const MsgBoxRequest& b, QWidget*) {
            ADD_FAILURE() << "unexpected message box: " << b.text;
            return (b.style & kMbButtonMask) ? kIdNo : kIdOk;
        });
    }
    void TearDown() override {
        app_.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    static const std::string& dir() { return dir_; }
    static std::string file(const std::string& name) { return dir_ + "/files/" + name; }

  private:
    static inline std::string dir_;
    int argc_ = 1;
    char name_[16] = "zelo_app_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

inline ::testing::Environment* const kAppTestEnvironment =
    ::testing::AddGlobalTestEnvironment(new AppTestEnvironment);

// Records every message box and answers it (OK, or `answer` for questions).
struct BoxRecorder {
    std::vector<MsgBoxRequest> boxes;
    int answer = kIdYes;
    PlatformMessageBoxHook previous;
    BoxRecorder() {
        previous = platform_set_message_box_hook([this](const MsgBoxRequest& b, QWidget*) {
            boxes.push_back(b);
            return (b.style & kMbButtonMask) ? answer : kIdOk;
        });
    }
    ~BoxRecorder() { platform_set_message_box_hook(previous); }
};

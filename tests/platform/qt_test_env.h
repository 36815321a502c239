// Test environment of the window-side suites: one application object on the
// offscreen platform, and a temporary XDG config folder and settings file so that
// no test reads or writes the user's own settings. Include from one file per suite.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "model/services/profile.h"
#include "platform/app.h"

class QtTestEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        char tmpl[] = "/tmp/zelo_qt_test_XXXXXX";
        const char* dir = mkdtemp(tmpl);
        ASSERT_NE(dir, nullptr);
        dir_ = dir;
        setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        app_ = platform_create_application(argc_, argv_);
        EXPECT_EQ(settings_open(dir_ + "/settings.ini"), 0);
    }
    void TearDown() override {
        app_.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    static const std::string& temp_dir() { return dir_; }

  private:
    static inline std::string dir_;
    int argc_ = 1;
    char name_[16] = "zelo_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

inline ::testing::Environment* const kQtTestEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtTestEnvironment);

// Message boxes as the user sees them: captions, icons, line breaks, missing texts,
// yes/no answers and the owner window, all answered through the platform hook.
#include <gtest/gtest.h>

#include <QWidget>
#include <cstring>
#include <vector>

#include "model/services/msgbox.h"
#include "model/services/strtab.h"
#include "platform/modal.h"
#include "shell/services.h"

namespace {

class MsgBoxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        shell_install_services();
        old_ = platform_set_message_box_hook([this](const MsgBoxRequest& box, QWidget* owner) {
            boxes.push_back(box);
            owners.push_back(owner);
            return answer;
        });
    }
    void TearDown() override {
        platform_set_message_box_hook(old_);
        msgbox_set_hook(nullptr);
        shell_set_main_window(nullptr);
    }

    std::vector<MsgBoxRequest> boxes;
    std::vector<QWidget*> owners;
    int answer = kIdOk;

  private:
    PlatformMessageBoxHook old_;
};

TEST_F(MsgBoxTest, CaptionAndIconFollowTheTitle) {
    struct Row {
        uint32_t title;
        const char* caption;
        unsigned icon;
    } rows[] = {
        {42170, "Zelo [ERROR]", kMbIconHand},
        {42120, "Zelo [Warning!]", kMbIconExclamation},
        {42118, "Zelo [Rendering time]", kMbIconAsterisk},
        {0, "Zelo", kMbIconAsterisk},
        {kStrIdNone, "Zelo", kMbIconAsterisk},
        {54321, "Zelo", kMbIconAsterisk},  // a title the table lacks
    };
    for (const Row& r : rows) {
        boxes.clear();
        EXPECT_EQ(msgbox_ids(r.title, 42040), kIdOk);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, r.caption) << r.title;
        EXPECT_EQ(boxes[0].style, kMbOk | r.icon) << r.title;
        EXPECT_EQ(boxes[0].text, "Not enough memory to complete operation...");
    }
}

TEST_F(MsgBoxTest, BarsBecomeLineBreaksOnACopy) {
    char text[] = "one|two|three";
    msgbox_show(42120, text, 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "one\ntwo\nthree");
    EXPECT_STREQ(text, "one|two|three");
    // A caller's explicit style is kept as given.
    msgbox_show(42170, "x", kMbOk | kMbIconAsterisk);
    EXPECT_EQ(boxes[1].style, kMbOk | kMbIconAsterisk);
}

TEST_F(MsgBoxTest, MissingTextShowsEmptyAndLongTextsAreWhole) {
    msgbox_ids(42170, 54321);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "");
    std::string long_name(3000, 'a');
    msgbox_printf(42170, "file %s: code %d", long_name.c_str(), 13);
    EXPECT_EQ(boxes[1].text, "file " + long_name + ": code 13");
    EXPECT_EQ(boxes[1].caption, "Zelo [ERROR]");
}

TEST_F(MsgBoxTest, YesNoQuestions) {
    answer = kIdYes;
    EXPECT_TRUE(msgbox_yes_no("CSG: mesh contains dangling face(s)...\nContinue? %d", 2));
    answer = kIdNo;
    EXPECT_FALSE(msgbox_yes_no("Overwrite %s?", "a.qvm"));
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, "Zelo");
    EXPECT_EQ(boxes[0].style, kMbYesNo | kMbIconQuestion);
    EXPECT_EQ(boxes[0].style, 36u);
    EXPECT_EQ(boxes[1].text, "Overwrite a.qvm?");
}

TEST_F(MsgBoxTest, BoxesBelongToTheMainWindow) {
    msgbox_ids(0, 42000);
    QWidget main;
    shell_set_main_window(&main);
    msgbox_ids(0, 42000);
    ASSERT_EQ(owners.size(), 2u);
    EXPECT_EQ(owners[0], nullptr);
    EXPECT_EQ(owners[1], &main);
}

TEST(MsgBoxFallback, WithoutWindowsBoxesAreLoggedAndAnsweredSafely) {
    msgbox_set_hook(nullptr);
    EXPECT_EQ(msgbox_ids(42170, 42040), kIdOk);
    EXPECT_FALSE(msgbox_yes_no("Continue?"));
    char buf[8] = "keep";
    EXPECT_EQ(input_ask_string(42002, buf, sizeof buf, 7), 0);
    EXPECT_STREQ(buf, "keep");
}

}  // namespace

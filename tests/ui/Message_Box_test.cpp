#include "ui/Message_Box.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

namespace {

TEST(Message_Box_Offscreen, Answers_With_The_Default_Without_Blocking)
{
    Set_Message_Box_Hook({});
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("offscreen"));
    EXPECT_EQ(Message_Box(
                  nullptr, QStringLiteral("q"), QStringLiteral("t"), Box_Buttons::Yes_No, Box_Icon::Question),
        Box_Answer::Yes);
    EXPECT_EQ(Message_Box(nullptr, QStringLiteral("q"), QStringLiteral("t"), Box_Buttons::Ok_Cancel),
        Box_Answer::Ok);
    EXPECT_EQ(Message_Box(nullptr, QStringLiteral("q"), QStringLiteral("t"), Box_Buttons::Yes_No,
                  Box_Icon::None, Box_Answer::No),
        Box_Answer::No);
}

TEST(Message_Box_Offscreen, A_Next_Answer_Is_Used_Once_And_Beats_The_Hook)
{
    int hook_calls = 0;
    Set_Message_Box_Hook([&hook_calls](const Message_Box_Request& request) {
        ++hook_calls;
        EXPECT_EQ(request.Title, QStringLiteral("title"));
        return Box_Answer::Cancel;
    });
    Set_Next_Message_Box_Answer(Box_Answer::No);
    EXPECT_EQ(Message_Box(nullptr, QStringLiteral("a"), QStringLiteral("title"), Box_Buttons::Yes_No),
        Box_Answer::No);
    EXPECT_EQ(hook_calls, 0);
    EXPECT_EQ(Message_Box(nullptr, QStringLiteral("b"), QStringLiteral("title"), Box_Buttons::Ok_Cancel),
        Box_Answer::Cancel);
    EXPECT_EQ(hook_calls, 1);
    Set_Message_Box_Hook({});
}

TEST(Message_Box_Offscreen, Destructive_Questions_Default_To_No_And_Cancel)
{
    Set_Message_Box_Hook({});
    EXPECT_FALSE(Ask_Before_Destroying(
        nullptr, QStringLiteral("Delete object  1 ?"), QStringLiteral("t"), Question_Buttons::Yes_No));
    EXPECT_EQ(Last_Message_Box().Buttons, Box_Buttons::Yes_No);
    EXPECT_EQ(Last_Message_Box().Default_Answer, Box_Answer::No);
    EXPECT_FALSE(Ask_Before_Destroying(
        nullptr, QStringLiteral("delete all?"), QStringLiteral("t"), Question_Buttons::Ok_Cancel));
    EXPECT_EQ(Last_Message_Box().Default_Answer, Box_Answer::Cancel);

    Set_Next_Message_Box_Answer(Box_Answer::Yes);
    EXPECT_TRUE(
        Ask_Before_Destroying(nullptr, QStringLiteral("q"), QStringLiteral("t"), Question_Buttons::Yes_No));
    Set_Next_Message_Box_Answer(Box_Answer::Ok);
    EXPECT_TRUE(Ask_Before_Destroying(
        nullptr, QStringLiteral("q"), QStringLiteral("t"), Question_Buttons::Ok_Cancel));
}

} // namespace

#include <gtest/gtest.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QTimer>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>

#include <string>
#include <vector>

#include "ui/message_box.h"
#include "ui/testing.h"

namespace telvane {
namespace {

// Guards against a caption that is not the executable's name.
TEST(MessageBox, CaptionIsTheExecutableNameWithoutExtension) {
    EXPECT_EQ(ApplicationName(), u"test_ui");
}

TEST(MessageBox, HookTakesTheTextWithoutBlocking) {
    std::vector<std::u16string> texts;
    SetMessageBoxHookForTesting([&](const std::u16string& t) { texts.push_back(t); });
    ShowMessageBox(nullptr, u"First");
    ShowMessageBox(nullptr, u"Second");
    SetMessageBoxHookForTesting({});
    EXPECT_EQ(texts, (std::vector<std::u16string>{u"First", u"Second"}));
}

// Guards against a box with the wrong icon, buttons or caption when no hook is set.
TEST(MessageBox, RealBoxIsAModalWarningWithOk) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen = true;
        EXPECT_EQ(box->icon(), QMessageBox::Warning);
        EXPECT_EQ(box->windowTitle(), QStringLiteral("test_ui"));
        EXPECT_EQ(box->text(), QStringLiteral("Socket Initialization failure"));
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        box->button(QMessageBox::Ok)->click();
    });
    ShowMessageBox(nullptr, u"Socket Initialization failure");
    EXPECT_TRUE(seen);
}

// Guards against a question whose default answer is Yes, so that Enter or Escape would
// go ahead with what the user was warned about, and against the hook answering Yes
// unless told to.
TEST(MessageBox, QuestionDefaultsToNo) {
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            seen = true;
            EXPECT_EQ(box->icon(), QMessageBox::Warning);
            EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
            EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QApplication::sendEvent(box, &press);
        });
        EXPECT_FALSE(AskYesNo(nullptr, u"Set it anyway?"));
        EXPECT_TRUE(seen);
    }
    QTimer::singleShot(0, [] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_TRUE(AskYesNo(nullptr, u"Set it anyway?"));

    std::vector<std::u16string> texts;
    SetMessageBoxHookForTesting([&](const std::u16string& t) { texts.push_back(t); });
    EXPECT_FALSE(AskYesNo(nullptr, u"First?"));
    SetQuestionAnswerForTesting(true);
    EXPECT_TRUE(AskYesNo(nullptr, u"Second?"));
    SetMessageBoxHookForTesting({});
    EXPECT_EQ(texts, (std::vector<std::u16string>{u"First?", u"Second?"}));
}

}  // namespace
}  // namespace telvane

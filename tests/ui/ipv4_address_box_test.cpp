#include <gtest/gtest.h>

#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QWidget>

#include "ui/ipv4_address_box.h"

namespace telvane {
namespace {

struct Fixture : ::testing::Test {
    QWidget window;
    CIpv4AddressBox* box = new CIpv4AddressBox(&window);

    void SetUp() override {
        box->setGeometry(10, 10, 140, 22);
        window.resize(200, 60);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        box->setFocus();
    }
    // Types as a user does: every key goes to whichever field has the focus now.
    void Type(const QString& keys) {
        for (const QChar c : keys) QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
    }
    void Key(Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); }
    std::uint32_t Address() const {
        std::uint32_t a = 0xDEADBEEF;
        box->GetAddress(a);
        return a;
    }
    QStringList Texts() const {
        QStringList t;
        for (int i = 0; i < 4; ++i) t << box->Field(i)->text();
        return t;
    }
};

// Guards against treating blank as 0.0.0.0 (the DNS boxes must be able to say "none").
TEST_F(Fixture, BlankIsDistinctFromZero) {
    EXPECT_TRUE(box->IsBlank());
    std::uint32_t a = 7;
    EXPECT_EQ(box->GetAddress(a), 0);
    EXPECT_EQ(a, 0u);
    box->SetAddress(0);
    EXPECT_FALSE(box->IsBlank());
    EXPECT_EQ(box->GetAddress(a), 4);
    EXPECT_EQ(Texts(), (QStringList{"0", "0", "0", "0"}));
    box->ClearAddress();
    EXPECT_TRUE(box->IsBlank());
}

// Guards against a byte order mix-up between the fields and the 32-bit value.
TEST_F(Fixture, FirstFieldIsTheMostSignificantByte) {
    box->SetAddress(0xC0A80114u);
    EXPECT_EQ(Texts(), (QStringList{"192", "168", "1", "20"}));
    EXPECT_EQ(Address(), 0xC0A80114u);
}

// Guards against an empty field of a partly filled box being read as garbage or failing.
TEST_F(Fixture, EmptyFieldOfANonBlankBoxCountsZero) {
    box->Field(0)->setText(QStringLiteral("10"));
    box->Field(3)->setText(QStringLiteral("9"));
    std::uint32_t a = 0;
    EXPECT_FALSE(box->IsBlank());
    EXPECT_EQ(box->GetAddress(a), 2);
    EXPECT_EQ(a, 0x0A000009u);
}

TEST_F(Fixture, DotsAndFullFieldsMoveOn) {
    Type(QStringLiteral("192.168.1.20"));
    EXPECT_EQ(Address(), 0xC0A80114u);
    box->ClearAddress();
    box->setFocus();
    Type(QStringLiteral("100200250.40"));  // full fields move on by themselves
    EXPECT_EQ(Texts(), (QStringList{"100", "200", "250", "40"}));
}

// Guards against the dot after three digits skipping the field they moved on to, when the
// box already shows an address (every field then holds something).
TEST_F(Fixture, DotAfterAFullFieldDoesNotSkipOverAnAddress) {
    box->SetAddress(0x0A000001u);
    box->Field(0)->selectAll();
    Type(QStringLiteral("192.168.1.20"));
    EXPECT_EQ(Texts(), (QStringList{"192", "168", "1", "20"}));
}

// Guards against letters or a fourth dot entering a field.
TEST_F(Fixture, OnlyDigitsAreTaken) {
    Type(QStringLiteral("1a2-"));
    EXPECT_EQ(box->Field(0)->text(), QStringLiteral("12"));
    Type(QStringLiteral(".3.4.5.6"));
    EXPECT_EQ(Texts(), (QStringList{"12", "3", "4", "56"}));
}

TEST_F(Fixture, ValueAbove255IsClamped) {
    Type(QStringLiteral("300"));
    EXPECT_EQ(box->Field(0)->text(), QStringLiteral("255"));
    box->Field(2)->setText(QStringLiteral("999"));  // set directly, read clamped
    std::uint32_t a = 0;
    box->GetAddress(a);
    EXPECT_EQ(a & 0xFF00u, 0xFF00u);
}

TEST_F(Fixture, BackspaceAtAFieldStartMovesBack) {
    Type(QStringLiteral("10.2"));
    Key(Qt::Key_Backspace);  // deletes the 2
    Key(Qt::Key_Backspace);  // at the start of field 1: back to the end of field 0
    Key(Qt::Key_Backspace);  // deletes the 0 of 10
    EXPECT_EQ(Texts(), (QStringList{"1", "", "", ""}));
}

TEST_F(Fixture, EnabledAndDisabledAsOneControl) {
    box->setEnabled(false);
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(box->Field(i)->isEnabled());
    box->setEnabled(true);
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(box->Field(i)->isEnabled());
}

}  // namespace
}  // namespace telvane

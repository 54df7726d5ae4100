// What screen readers get from an HTML button: a push button named by the
// text its caption shows.
#include "htmlbtns.h"

#include <QAccessible>

#include <gtest/gtest.h>

using namespace quorvel;

namespace {

QString NameOf(const QString& caption) {
    THTMLButton button;
    button.SetCaption(caption);
    return QAccessible::queryAccessibleInterface(&button)->text(QAccessible::Name);
}

TEST(HTMLButtonAccessibility, NamedByTheCaptionsPlainText) {
    EXPECT_EQ(NameOf("Start"), "Start");
    EXPECT_EQ(NameOf("<b>Check</b> for <font color=\"#FF0000\">updates</font>"), "Check for updates");
    EXPECT_EQ(NameOf("Save &amp; close"), "Save & close");
    EXPECT_EQ(NameOf("&lt;Back"), "<Back");
    EXPECT_EQ(NameOf("&Cancel"), "Cancel");
    EXPECT_EQ(NameOf("Line one<br>line&nbsp;two\r\nthree"), "Line one line two three");
    EXPECT_EQ(NameOf("<img src=\"idx:0\"> <a href=\"x\">Help</a>"), "Help");
}

TEST(HTMLButtonAccessibility, IsAPushButtonThatCanBePressedWhenEnabled) {
    THTMLButton button;
    button.SetCaption("<i>Go</i>");
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&button);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->role(), QAccessible::Button);
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&clicks] { ++clicks; });
    ASSERT_NE(face->actionInterface(), nullptr);
    face->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(clicks, 1);

    button.setEnabled(false);
    EXPECT_TRUE(face->state().disabled);
    EXPECT_FALSE(face->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    face->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(clicks, 1);

    button.setAccessibleName("Go on");
    EXPECT_EQ(face->text(QAccessible::Name), "Go on");
}

} // namespace

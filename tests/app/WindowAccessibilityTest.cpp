// What screen readers get from the updater's window.
#include "AccessibleControls.h"
#include "TLabel.h"
#include "softwareupdate.h"

#include <gtest/gtest.h>

using namespace quorvel;

namespace {

TEST(WindowAccessibility, EveryShownControlHasARoleAndAName) {
    TForm1 form;
    form.show();
    QAccessibleInterface* root = QAccessible::queryAccessibleInterface(&form);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->role(), QAccessible::Window);
    EXPECT_EQ(root->text(QAccessible::Name), "Quorvel Software Update");

    const std::vector<TAccessibleControl> controls = AccessibleControls(&form);
    EXPECT_EQ(controls.size(), 11u);
    for (const TAccessibleControl& c : controls) {
        if (c.Invisible)
            continue;
        EXPECT_NE(c.Role, QAccessible::Client) << c.ObjectName.toStdString();
        EXPECT_FALSE(c.Name.isEmpty()) << c.ObjectName.toStdString();
    }
    const auto is = [&form](const char* control, QAccessible::Role role, const QString& name) {
        const TAccessibleControl c = AccessibleControl(&form, control);
        EXPECT_EQ(c.Role, role) << control;
        EXPECT_EQ(c.Name, name) << control;
    };
    is("BitBtn1", QAccessible::Button, "Start");
    is("BitBtn2", QAccessible::Button, "Cancel");
    is("XiProgressBar2", QAccessible::ProgressBar, "Download progress");
    is("Label2", QAccessible::StaticText, form.Label2->text());
    is("Label4", QAccessible::StaticText, "Progress:");
    is("Image1", QAccessible::Graphic, "Download symbol");
    is("Panel1", QAccessible::Pane, "Title");
    EXPECT_EQ(AccessibleControl(&form, "XiProgressBar2").Value, "0%");
}

} // namespace

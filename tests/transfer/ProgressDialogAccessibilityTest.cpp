// What screen readers get from the progress window.
#include "AccessibleControls.h"
#include "ProgressDialog.h"
#include "WebCopy.h"

#include <QApplication>

#include <gtest/gtest.h>

using namespace quorvel;

namespace {

TEST(ProgressDialogAccessibility, EveryShownControlHasARoleAndAName) {
    TWebCopy engine;
    engine.ShowTime = true;
    auto window = std::make_shared<TProgressWindow>(engine, 20);
    window->SetFileLabel("File : DirevidUreziv.cab from 127.0.0.1:8642");
    window->SetBarPosition(45);
    window->SetProgressLabel("Progress : 1.50 Mb of 3.33 Mb");
    window->SetRateLabel("Transfer rate : 750.00 Kb/sec");
    window->SetTimeLabel("Estimated time left : 2 sec.");
    window->Show();
    auto* dialog = new TProgressDialog(window);
    dialog->show();

    QAccessibleInterface* root = QAccessible::queryAccessibleInterface(dialog);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->role(), QAccessible::Dialog);
    EXPECT_EQ(root->text(QAccessible::Name), "Downloading ...");
    QStringList names;
    std::map<QAccessible::Role, int> roles;
    for (const TAccessibleControl& c : AccessibleControls(dialog)) {
        if (c.Invisible)
            continue;
        EXPECT_FALSE(c.Name.isEmpty()) << "role " << c.Role;
        names << c.Name;
        ++roles[c.Role];
        if (c.Role == QAccessible::ProgressBar) {
            EXPECT_EQ(c.Value, "45");
        }
    }
    EXPECT_EQ(roles[QAccessible::Animation], 1);
    EXPECT_EQ(roles[QAccessible::ProgressBar], 1);
    EXPECT_EQ(roles[QAccessible::StaticText], 4);
    EXPECT_EQ(roles[QAccessible::Button], 1);
    for (const char* shown : {"Transfer animation", "Transfer progress", "Cancel",
                              "Progress : 1.50 Mb of 3.33 Mb", "Estimated time left : 2 sec."})
        EXPECT_TRUE(names.contains(shown)) << shown << " in " << names.join(" | ").toStdString();

    window->Detach();
    delete dialog;
}

} // namespace

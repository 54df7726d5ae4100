#include "AccessibleControls.h"

#include <QWidget>

namespace {

void Collect(QAccessibleInterface* node, std::vector<TAccessibleControl>& out) {
    for (int i = 0; i < node->childCount(); ++i) {
        QAccessibleInterface* child = node->child(i);
        if (!child)
            continue;
        out.push_back({child->object() ? child->object()->objectName() : QString(), child->role(),
                       child->text(QAccessible::Name), child->text(QAccessible::Value),
                       static_cast<bool>(child->state().invisible)});
        Collect(child, out);
    }
}

} // namespace

std::vector<TAccessibleControl> AccessibleControls(QWidget* window) {
    std::vector<TAccessibleControl> controls;
    if (QAccessibleInterface* root = QAccessible::queryAccessibleInterface(window))
        Collect(root, controls);
    return controls;
}

TAccessibleControl AccessibleControl(QWidget* window, const QString& objectName) {
    for (const TAccessibleControl& c : AccessibleControls(window))
        if (c.ObjectName == objectName)
            return c;
    return {};
}

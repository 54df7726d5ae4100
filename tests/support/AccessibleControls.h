#pragma once

#include <QAccessible>
#include <QString>

#include <vector>

class QWidget;

// One control as Qt's accessibility interface (what screen readers get)
// presents it.
struct TAccessibleControl {
    QString ObjectName;
    QAccessible::Role Role = QAccessible::NoRole;
    QString Name;
    QString Value;
    bool Invisible = false;
};

// The controls below window in the accessibility tree, depth first.
std::vector<TAccessibleControl> AccessibleControls(QWidget* window);

// The control of that object name; a default one when there is none.
TAccessibleControl AccessibleControl(QWidget* window, const QString& objectName);

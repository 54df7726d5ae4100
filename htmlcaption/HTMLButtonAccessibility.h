#pragma once

#include <QString>

namespace quorvel {

// What screen readers learn about an HTML button through Qt's accessibility
// interfaces: a push button (pressable, focusable, default or not) named by
// the text its caption shows, or by an accessible name set on the widget.
namespace HTMLButtonAccessibility {

// Makes Qt ask us for HTML buttons; the first button calls it, later calls
// do nothing.
void Install();

// The text a caption shows, on one line: tags and pictures left out,
// entities resolved, a line break as a space, "&&" as one ampersand and the
// "&" that marks a shortcut letter dropped.
QString PlainCaption(const QString& markup);

} // namespace HTMLButtonAccessibility

} // namespace quorvel

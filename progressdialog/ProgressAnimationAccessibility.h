#pragma once

namespace quorvel {

// What screen readers learn about the progress window's animation through
// Qt's accessibility interfaces: an animation named by what it shows
// (a transfer or an upload), or by an accessible name set on the widget. The
// window's other controls are Qt's own labels, bar and buttons.
namespace ProgressAnimationAccessibility {

// Makes Qt ask us for the animation; the first one calls it, later calls do
// nothing.
void Install();

} // namespace ProgressAnimationAccessibility

} // namespace quorvel

#pragma once

namespace quorvel {

class TXiProgressBar;

// What screen readers learn about the controls that paint themselves, through
// Qt's accessibility interfaces: the gradient bar is a progress bar with its
// value (minimum, maximum, current), a picture a graphic with a short
// description, a panel a pane named by its caption, a form a window named by
// its caption. An accessible name set
// on the widget comes first. The labels are QLabels and need nothing here.
namespace WidgetAccessibility {

// Makes Qt ask us for these controls; the first control of each kind calls
// it, later calls do nothing.
void Install();

// Tells an active screen reader that a bar's value changed. GUI thread only;
// elsewhere it does nothing (the reader reads the value when it next asks).
void ValueChanged(TXiProgressBar* bar);

} // namespace WidgetAccessibility

} // namespace quorvel

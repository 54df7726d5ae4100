#pragma once

#include "TFormDescription.h"

#include <QByteArray>

namespace quorvel {

class TForm1;

// The updater window's stored description, a resource of the program.
QByteArray Form1Description();

// Registers the classes a window description may name.
void RegisterWindowClasses();

// Builds the window from a description (the stored one when empty): its
// controls and components, their settings, and the handlers bound by name;
// then points the window's fields at them. A control or component the window
// needs but the description lacks is made with its defaults and reported, so
// the window always works. Returns what was skipped.
TFormReport BuildForm1(TForm1& form, const QByteArray& description = QByteArray());

} // namespace quorvel

#pragma once

// The updater application: its window, handlers and install step.
#include "PackageInstall.h"
#include "TForm1.h"
#include "TForm1Description.h"
#include "TLabel.h"
#include "XiProgressBar.h"
#include "htmlbtns.h"

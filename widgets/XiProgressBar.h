#pragma once

// The gradient progress bar.
#include "TXiProgressBar.h"
#include "XiProgressTypes.h"

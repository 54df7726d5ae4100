#pragma once

// The push button with a marked-up caption.
#include "HTMLButtonTypes.h"
#include "THTMLButton.h"

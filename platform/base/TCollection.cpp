#include "TCollection.h"

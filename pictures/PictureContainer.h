#pragma once

// The picture store: pictures kept as loaded and decoded on demand, named
// pictures in a container, and a cache of pictures loaded by location.
#include "EPictureError.h"
#include "TDownLoadThread.h"
#include "THTMLPicture.h"
#include "THTMLPictureCache.h"
#include "TPictureCollection.h"
#include "TPictureContainer.h"
#include "TPictureItem.h"

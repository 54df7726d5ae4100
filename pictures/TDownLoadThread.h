#pragma once

#include "QuorvelExport.h"

namespace quorvel {

class THTMLPicture;

// Background fetch of a picture named by an internet address. Internet
// pictures are not fetched in this program: the worker ends at once and
// touches nothing, not even the picture's busy flag.
class QUORVEL_EXPORT TDownLoadThread {
public:
    // Starts a detached worker for the picture; it frees itself when it ends.
    static void Start(THTMLPicture* picture);
};

} // namespace quorvel

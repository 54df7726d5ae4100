#include "TDownLoadThread.h"

#include <system_error>
#include <thread>

namespace quorvel {

void TDownLoadThread::Start(THTMLPicture* picture) {
    try {
        // Nothing is fetched; the detached worker ends at once.
        std::thread([picture] { (void)picture; }).detach();
    } catch (const std::system_error&) {
        // No thread to spare: there was no work for it anyway.
    }
}

} // namespace quorvel

// Feeds arbitrary bytes to the picture decoder with a chosen GIF frame: it
// must either decode or raise EPictureError, never crash or hang.
#include "PictureContainer.h"

#include <QCoreApplication>

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

using namespace quorvel;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const int frame = data[0] % 6;
    std::istringstream stream(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
    THTMLPicture picture;
    try {
        picture.LoadFromStream(&stream);
    } catch (const EPictureError&) {
    }
    try {
        picture.SetFrame(frame);
    } catch (const EPictureError&) {
    }
    (void)picture.DisplayWidth();
    (void)picture.CountFrames();
    return 0;
}

// Feeds arbitrary markup to the caption renderer: measured, hit-tested and
// drawn onto an image with options taken from the first input byte.
#include "HTMLRenderer.h"
#include "TImageList.h"
#include "TQtCanvas.h"

#include <QApplication>
#include <QImage>
#include <cstddef>
#include <cstdint>
#include <string>

using namespace quorvel;

namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "markup_fuzz";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *app;
}

TImageList& Images() {
    static TImageList* list = [] {
        auto* l = new TImageList(16, 16);
        QImage img(16, 16, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::red);
        l->Add(img);
        return l;
    }();
    return *list;
}

} // namespace

// The font configuration library keeps allocations of its own for the life of
// the process; they are not leaks of the renderer.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    App();
    if (size == 0)
        return 0;
    const std::uint8_t flags = data[0];
    const std::string markup(reinterpret_cast<const char*>(data + 1), size - 1);

    TMarkupOptions options;
    options.ImageList = &Images();
    options.WordWrap = flags & 1;
    options.Selected = flags & 2;
    options.Printing = flags & 4;
    options.ScaleFactor = (flags & 4) ? 1.5 : 1.0;
    options.BlinkVisible = flags & 8;
    options.StyleHoveredLinkOnly = flags & 16;
    options.FocusLink = (flags >> 5) & 1;
    options.HoverLink = (flags >> 6) & 1 ? 1 : -1;
    options.HoverBrushColor = (flags & 128) ? 0x00FF00 : clNone;
    options.ShadowOffset = 1;
    options.PointerX = 20;
    options.PointerY = 8;

    QImage image(160, 80, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    TQtCanvas canvas(&image);
    canvas.Font.Name = "Tahoma";
    canvas.Font.Color = clBlack;
    const TRect bounds{2, 2, 158, 78};
    TMarkupResult result;
    options.MeasureOnly = true;
    RenderMarkup(canvas, markup, bounds, options, result);
    options.MeasureOnly = false;
    options.HitTestOnly = true;
    RenderMarkup(canvas, markup, bounds, options, result);
    options.HitTestOnly = false;
    RenderMarkup(canvas, markup, bounds, options, result);
    return 0;
}

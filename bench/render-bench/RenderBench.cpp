// Renders typical button captions many times with our caption renderer and
// with QTextDocument (the same text as HTML) onto the same image; prints the
// rates and "render: ratio=R" (how many times faster ours is).
#include "HTMLRenderer.h"
#include "TQtCanvas.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTextDocument>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace quorvel;

namespace {

struct Caption {
    const char* Name;
    std::string Markup; // ours
    QString Html;       // the same caption for QTextDocument
};

// Runs body repeatedly for about a second; returns renders per second.
double Rate(const std::function<void()>& body) {
    using clock = std::chrono::steady_clock;
    for (int i = 0; i < 200; ++i)
        body();
    long n = 0;
    const auto start = clock::now();
    auto now = start;
    while (now - start < std::chrono::seconds(1)) {
        for (int i = 0; i < 200; ++i)
            body();
        n += 200;
        now = clock::now();
    }
    return n / std::chrono::duration<double>(now - start).count();
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::vector<Caption> captions = {
        {"word", "Start", "Start"},
        {"bold+link", "<b>Start</b> the <a href=\"go\">update</a>",
         "<b>Start</b> the <a href=\"go\">update</a>"},
        {"wrapped+font",
         "The installed version is <font color=\"#FF0000\">current</font>, nothing to download today",
         "The installed version is <font color=\"#0000FF\">current</font>, nothing to download today"},
    };
    const int width = 160, height = 60;
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);

    TFont font;
    font.Name = "Tahoma";
    font.Size = 8;
    font.Color = clBlack;
    QFont qfont = TQtCanvas::ToQFont(font);

    double ourTotal = 0, theirTotal = 0;
    for (const Caption& c : captions) {
        const double ours = Rate([&] {
            TQtCanvas canvas(&painter);
            canvas.Font = font;
            canvas.Brush.SetColor(clNone);
            TMarkupOptions options;
            TMarkupResult result;
            RenderMarkup(canvas, c.Markup, TRect{0, 0, width, height}, options, result);
        });
        const double theirs = Rate([&] {
            QTextDocument doc;
            doc.setDefaultFont(qfont);
            doc.setDocumentMargin(0);
            doc.setTextWidth(width);
            doc.setHtml(c.Html);
            doc.drawContents(&painter, QRectF(0, 0, width, height));
        });
        std::printf("%-14s ours %9.0f/s  QTextDocument %9.0f/s  x%.2f\n", c.Name, ours, theirs,
                    ours / theirs);
        ourTotal += 1.0 / ours;
        theirTotal += 1.0 / theirs;
    }
    // Time for one render of each caption, ours against theirs.
    std::printf("render: ratio=%.2f\n", theirTotal / ourTotal);
    return 0;
}

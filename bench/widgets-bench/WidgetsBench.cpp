// Paints the gradient bar and flat HTML buttons many times against a plain
// QProgressBar and QPushButtons doing the same; prints the rates and
// "widgets: ratio=R bar_fps=F button_fps=G".
#include "XiProgressBar.h"
#include "htmlbtns.h"

#include <QApplication>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

using namespace quorvel;

namespace {

constexpr int kPaints = 10000;

double Seconds(const std::function<void()>& body) {
    const auto start = std::chrono::steady_clock::now();
    body();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QWidget window;
    window.resize(420, 200);
    TXiProgressBar bar(&window);
    bar.setGeometry(10, 10, 313, 16);
    bar.SetColorScheme(csSky);
    QProgressBar plainBar(&window);
    plainBar.setGeometry(10, 40, 313, 16);
    plainBar.setRange(0, 100);
    plainBar.setTextVisible(false);

    const char* captions[] = {"Start", "Cancel", "Close"};
    std::vector<THTMLButton*> ours;
    std::vector<QPushButton*> plain;
    for (int i = 0; i < 3; ++i) {
        auto* b = new THTMLButton(&window);
        b->setGeometry(10 + i * 110, 70, 100, 25);
        b->SetFlat(true);
        b->SetEllipsis(true);
        b->SetColor(0xFFEAEA);
        b->SetHoverColor(0xFFB7B7);
        b->SetDownColor(0xFF0080);
        b->SetBorderColor(0x808080);
        b->SetCaption(QString::fromLatin1(captions[i]));
        ours.push_back(b);
        auto* p = new QPushButton(QString::fromLatin1(captions[i]), &window);
        p->setGeometry(10 + i * 110, 110, 100, 25);
        p->setFlat(true);
        plain.push_back(p);
    }
    window.show();
    QApplication::processEvents();

    std::vector<double> barOurs, barTheirs, buttonOurs, buttonTheirs;
    for (int round = 0; round < 5; ++round) {
        barOurs.push_back(Seconds([&] {
            for (int i = 0; i < kPaints; ++i)
                bar.SetPosition(i % 101);
        }));
        barTheirs.push_back(Seconds([&] {
            for (int i = 0; i < kPaints; ++i) {
                plainBar.setValue(i % 101);
                plainBar.repaint();
            }
        }));
        buttonOurs.push_back(Seconds([&] {
            for (int i = 0; i < kPaints; ++i)
                ours[static_cast<size_t>(i % 3)]->repaint();
        }));
        buttonTheirs.push_back(Seconds([&] {
            for (int i = 0; i < kPaints; ++i)
                plain[static_cast<size_t>(i % 3)]->repaint();
        }));
    }
    const double bo = Median(barOurs), bt = Median(barTheirs);
    const double uo = Median(buttonOurs), ut = Median(buttonTheirs);
    std::printf("bar      ours %8.0f/s  QProgressBar %8.0f/s\n", kPaints / bo, kPaints / bt);
    std::printf("buttons  ours %8.0f/s  QPushButton  %8.0f/s\n", kPaints / uo, kPaints / ut);
    std::printf("widgets: ratio=%.2f bar_fps=%.0f button_fps=%.0f\n", (bt + ut) / (bo + uo), kPaints / bo,
                kPaints / uo);
    return 0;
}

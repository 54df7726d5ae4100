// A window with a push button whose caption is marked up and a gradient
// progress bar that fills while the program runs; the button starts over.
//   html-button [--quit-after MS] [--grab FILE.png]
// --quit-after ends the program after MS milliseconds; --grab saves a picture
// of the window once it is shown and then ends it.
#include <quorvel/XiProgressBar.h>
#include <quorvel/htmlbtns.h>

#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <iostream>

using namespace quorvel;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int quitAfter = -1;
    QString grab;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--quit-after" && i + 1 < args.size())
            quitAfter = args[++i].toInt();
        else if (args[i] == "--grab" && i + 1 < args.size())
            grab = args[++i];
        else {
            std::cerr << "usage: html-button [--quit-after MS] [--grab FILE.png]\n";
            return 2;
        }
    }

    QWidget window;
    window.setWindowTitle("HTML button");
    auto* layout = new QVBoxLayout(&window);
    auto* button = new THTMLButton(&window);
    button->SetCaption("<b>Start</b> <font color=\"#C00000\">again</font> &amp; <i>watch</i>");
    button->setMinimumSize(220, 32);
    auto* bar = new TXiProgressBar(&window);
    bar->SetColorScheme(csSky);
    bar->setMinimumSize(220, 16);
    layout->addWidget(button);
    layout->addWidget(bar);

    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, bar, [bar] { bar->SetPosition((bar->Position() + 5) % 105); });
    QObject::connect(button, &QPushButton::clicked, bar, [bar] { bar->SetPosition(bar->Min()); });
    tick.start(50);

    window.show();
    if (!grab.isEmpty()) {
        QTimer::singleShot(0, &window, [&window, bar, grab] {
            bar->SetPosition(60);
            const bool saved = window.grab().save(grab);
            std::cout << (saved ? "saved " : "could not save ") << grab.toStdString() << "\n";
            QApplication::exit(saved ? 0 : 1);
        });
    }
    if (quitAfter >= 0)
        QTimer::singleShot(quitAfter, &app, &QApplication::quit);
    const int result = QApplication::exec();
    std::cout << "caption: " << button->Caption().toStdString() << "\nposition: " << bar->Position() << "\n";
    return result;
}

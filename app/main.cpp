#include "softwareupdate.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("DirevidUreziv"));
    QApplication::setApplicationDisplayName(QString());
    TForm1 form;
    form.show();
    return app.exec();
}

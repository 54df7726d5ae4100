#include "WindowAccessibility.h"

#include "TForm1.h"

#include <QWidget>

namespace quorvel {

void DescribeWindowControls(TForm1& form) {
    struct TDescription {
        const char* Control;
        const char* Name;
    };
    static constexpr TDescription kDescriptions[] = {
        {"Panel1", "Title"},
        {"Image2", "Quorvel Software Update: keeping your installation current"},
        {"Image1", "Download symbol"},
        {"Image3", "Background"},
        {"XiProgressBar2", "Download progress"},
    };
    for (const TDescription& d : kDescriptions)
        if (QWidget* control = form.findChild<QWidget*>(QLatin1String(d.Control)))
            control->setAccessibleName(QString::fromLatin1(d.Name));
}

} // namespace quorvel

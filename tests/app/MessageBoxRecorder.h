#pragma once

#include "MessageBox.h"

#include <ostream>
#include <string>
#include <vector>

// One message box as the user sees it: title, text and icon.
struct TShownBox {
    std::string Title;
    std::string Text;
    quorvel::TMessageKind Icon = quorvel::TMessageKind::Information;

    friend bool operator==(const TShownBox&, const TShownBox&) = default;
    friend std::ostream& operator<<(std::ostream& out, const TShownBox& box) {
        const char* icon = box.Icon == quorvel::TMessageKind::Information ? "information"
                           : box.Icon == quorvel::TMessageKind::Warning   ? "warning"
                                                                          : "error";
        return out << "[" << box.Title << ", " << icon << "] " << box.Text;
    }
};
using TShownBoxes = std::vector<TShownBox>;

// The updater's result boxes carry the information icon and title.
inline TShownBox InformationBox(const std::string& text) {
    return {"Information", text, quorvel::TMessageKind::Information};
}

// Records every message box instead of showing it: its text into texts and
// the whole box into boxes. Returns the handler it replaced.
inline quorvel::MessageBoxHandler RecordMessageBoxes(std::vector<std::string>& texts, TShownBoxes& boxes) {
    return quorvel::SetMessageBoxHandler(
        [&texts, &boxes](const QString& title, const QString& text, quorvel::TMessageKind kind) {
            texts.push_back(text.toStdString());
            boxes.push_back({title.toStdString(), text.toStdString(), kind});
        });
}

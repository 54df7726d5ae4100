#pragma once

#include <QJsonObject>

class QObject;

namespace quorvel {

// Writes an object, its published properties and the components it holds as
// a window description entry (the format is described with TFormDescription).
class TFormWriter {
public:
    static QJsonObject WriteComponent(const QObject& object);
};

} // namespace quorvel

#pragma once

#include "QuorvelExport.h"

#include <QObject>
#include <QString>

namespace quorvel {

// One listed file of a cabinet: its name and its path relative to the target.
class QUORVEL_EXPORT TCABFileEntry : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Name MEMBER Name)
    Q_PROPERTY(QString RelPath MEMBER RelPath)

public:
    using QObject::QObject;

    QString Name;
    QString RelPath;
};

} // namespace quorvel

#pragma once

#include "QuorvelExport.h"

#include "TCollection.h"
#include "TComponent.h"

#include <QString>

#include <memory>

namespace quorvel {

class THTMLPicture;
class TPictureCollection;

// A component holding named pictures for marked-up captions.
class QUORVEL_EXPORT TPictureContainer : public TComponent {
    Q_OBJECT
    Q_PROPERTY(TCollection* Items READ ItemsCollection)
    // Always stored; a stored value is accepted and ignored.
    Q_PROPERTY(QString Version READ Version WRITE SetVersion)

public:
    explicit TPictureContainer(QObject* owner = nullptr);
    ~TPictureContainer() override;

    TPictureCollection* Items() const { return m_items.get(); }
    TCollection* ItemsCollection() const;
    QString Version() const { return QStringLiteral("1.0.0.0"); }
    void SetVersion(const QString&) {}

    // The picture of the first item whose name matches, ignoring the case of
    // the letters a to z; nullptr when there is none.
    virtual THTMLPicture* PictureByName(const QString& name) const;
    THTMLPicture* FindPicture(const QString& name) const { return PictureByName(name); }

private:
    std::unique_ptr<TPictureCollection> m_items;
};

} // namespace quorvel

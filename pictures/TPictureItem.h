#pragma once

#include "QuorvelExport.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

namespace quorvel {

class THTMLPicture;
class TPictureCollection;

// A named picture of a container. The item owns its picture; SetPicture
// copies into it and never replaces it.
//
// Published: Picture (the image file's bytes, decoded when set), Name, Tag.
class QUORVEL_EXPORT TPictureItem : public QObject {
    Q_OBJECT
    Q_PROPERTY(QByteArray Picture READ PictureData WRITE SetPictureData)
    Q_PROPERTY(QString Name READ Name WRITE SetName)
    Q_PROPERTY(int Tag READ Tag WRITE SetTag)

public:
    explicit TPictureItem(TPictureCollection* collection = nullptr);
    ~TPictureItem();
    TPictureItem(const TPictureItem&) = delete;
    TPictureItem& operator=(const TPictureItem&) = delete;

    void Assign(const TPictureItem& source);

    THTMLPicture* Picture() const { return m_picture.get(); }
    void SetPicture(const THTMLPicture* picture);
    // The picture's bytes as loaded; setting them decodes them (decoding
    // errors are raised, the bytes are kept).
    QByteArray PictureData() const;
    void SetPictureData(const QByteArray& bytes);
    const QString& Name() const { return m_name; }
    void SetName(const QString& name) { m_name = name; }
    int Tag() const { return m_tag; }
    void SetTag(int tag) { m_tag = tag; }

    TPictureCollection* Collection() const { return m_collection; }
    int Index() const;

private:
    std::unique_ptr<THTMLPicture> m_picture;
    int m_tag = 0;
    QString m_name;
    TPictureCollection* m_collection;
};

} // namespace quorvel

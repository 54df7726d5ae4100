#pragma once

#include <QString>

#include <memory>

class THTMLPicture;
class TPictureCollection;

// A named picture of a container. The item owns its picture; SetPicture
// copies into it and never replaces it.
class TPictureItem {
public:
    explicit TPictureItem(TPictureCollection* collection = nullptr);
    ~TPictureItem();
    TPictureItem(const TPictureItem&) = delete;
    TPictureItem& operator=(const TPictureItem&) = delete;

    void Assign(const TPictureItem& source);

    THTMLPicture* Picture() const { return m_picture.get(); }
    void SetPicture(const THTMLPicture* picture);
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

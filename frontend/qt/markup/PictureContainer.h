#pragma once

// TPictureContainer: the named pictures that <IMG src="..."> refers to. The
// container owns its collection, the collection its items, each item its
// picture. Names compare without regard to case (ASCII letters only).

#include "markup/engine/Surface.h"

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class QPainter;

namespace quelvo::markup {

// The stored image file's bytes and the image decoded from them.
class THTMLPicture : public Picture {
public:
    THTMLPicture() = default;
    // Decodes data (any format Qt reads: BMP, PNG...). False, and an empty
    // picture, when it cannot be decoded.
    bool LoadFromData(const QByteArray& data);
    // A picture made in code (no file bytes).
    void SetImage(const QImage& image);

    int Width() const override { return m_image.width(); }
    int Height() const override { return m_image.height(); }
    bool Empty() const { return m_image.isNull(); }
    const QByteArray& Data() const { return m_data; }
    const QImage& Image() const { return m_image; }

    // Opaque, natural size, top-left corner at (x, y).
    void Draw(QPainter& painter, int x, int y) const;

private:
    QByteArray m_data;
    QImage m_image;
};

struct TPictureItem {
    QString Name;
    THTMLPicture Picture;
    int Tag = 0;
};

class TPictureCollection {
public:
    TPictureItem& Add();
    int Count() const { return static_cast<int>(m_items.size()); }
    TPictureItem& operator[](int index) { return *m_items.at(static_cast<std::size_t>(index)); }
    const TPictureItem& operator[](int index) const { return *m_items.at(static_cast<std::size_t>(index)); }
    void Clear() { m_items.clear(); }

private:
    std::vector<std::unique_ptr<TPictureItem>> m_items;
};

class TPictureContainer : public QObject, public PictureSource {
    Q_OBJECT
public:
    explicit TPictureContainer(QObject* parent = nullptr);

    TPictureCollection& Items() { return m_items; }
    const TPictureCollection& Items() const { return m_items; }

    // The first item whose name equals name (ASCII letters compared without
    // case), or nullptr.
    const THTMLPicture* FindPicture(const QString& name) const;
    const Picture* FindPicture(std::u16string_view name) const override;

    // Appends a picture read from a file or a Qt resource (":/..."). False,
    // and nothing added, when the file cannot be read or decoded.
    bool AddFromFile(const QString& name, const QString& path);
    // Appends a picture made in code.
    void AddImage(const QString& name, const QImage& image);

    // Fills the container from a folder (or resource folder) holding
    // order.txt, in its order (frontend/PictureOrder.h). Returns how many
    // pictures were added.
    int LoadFolder(const QString& folder);

    // The file name a picture of this name is stored under.
    static QString FileNameFor(const QString& name);

private:
    TPictureCollection m_items;
};

}  // namespace quelvo::markup

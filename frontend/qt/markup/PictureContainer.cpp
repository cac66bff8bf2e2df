#include "frontend/qt/markup/PictureContainer.h"

#include "frontend/PictureOrder.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>

namespace quelvo::markup {

bool THTMLPicture::LoadFromData(const QByteArray& data) {
    QImage image;
    if (!image.loadFromData(data)) {
        m_data.clear();
        m_image = QImage();
        return false;
    }
    m_data = data;
    // Pictures are drawn opaque: drop any alpha channel once, here.
    m_image = image.convertToFormat(QImage::Format_RGB32);
    return true;
}

void THTMLPicture::SetImage(const QImage& image) {
    m_data.clear();
    m_image = image.convertToFormat(QImage::Format_RGB32);
}

void THTMLPicture::Draw(QPainter& painter, int x, int y) const {
    if (!m_image.isNull()) painter.drawImage(QPoint(x, y), m_image);
}

TPictureItem& TPictureCollection::Add() {
    m_items.push_back(std::make_unique<TPictureItem>());
    return *m_items.back();
}

TPictureContainer::TPictureContainer(QObject* parent) : QObject(parent) {}

namespace {

// Upper-cases a to z only, as the name comparison requires.
QChar UpperAscii(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') ? QChar(static_cast<char16_t>(u - 32)) : c;
}

template <typename Text>
bool SameName(const QString& itemName, const Text& name, qsizetype length) {
    if (itemName.size() != length) return false;
    for (qsizetype i = 0; i < length; ++i)
        if (UpperAscii(itemName[i]) != UpperAscii(QChar(name[static_cast<std::size_t>(i)]))) return false;
    return true;
}

}  // namespace

const THTMLPicture* TPictureContainer::FindPicture(const QString& name) const {
    for (int i = 0; i < m_items.Count(); ++i)
        if (SameName(m_items[i].Name, name, name.size())) return &m_items[i].Picture;
    return nullptr;
}

const Picture* TPictureContainer::FindPicture(std::u16string_view name) const {
    for (int i = 0; i < m_items.Count(); ++i)
        if (SameName(m_items[i].Name, name, static_cast<qsizetype>(name.size()))) return &m_items[i].Picture;
    return nullptr;
}

bool TPictureContainer::AddFromFile(const QString& name, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    THTMLPicture picture;
    if (!picture.LoadFromData(file.readAll())) return false;
    TPictureItem& item = m_items.Add();
    item.Name = name;
    item.Picture = std::move(picture);
    return true;
}

void TPictureContainer::AddImage(const QString& name, const QImage& image) {
    TPictureItem& item = m_items.Add();
    item.Name = name;
    item.Picture.SetImage(image);
}

QString TPictureContainer::FileNameFor(const QString& name) {
    return QString::fromStdString(frontend::PictureFileName(name.toStdString()));
}

int TPictureContainer::LoadFolder(const QString& folder) {
    QFile order(folder + QLatin1String("/order.txt"));
    if (!order.open(QIODevice::ReadOnly)) return 0;
    const QByteArray text = order.readAll();
    int added = 0;
    for (const frontend::TPictureFile& picture :
         frontend::ReadPictureOrder(std::string_view(text.constData(), static_cast<std::size_t>(text.size())))) {
        const QString path = folder + QLatin1Char('/') + QString::fromStdString(picture.file);
        if (AddFromFile(QString::fromStdString(picture.name), path)) ++added;
    }
    return added;
}

}  // namespace quelvo::markup

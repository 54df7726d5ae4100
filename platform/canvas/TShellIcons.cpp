#include "TShellIcons.h"

#include <QApplication>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QMimeDatabase>
#include <QStyle>
#include <mutex>
#include <vector>

namespace quorvel {

namespace {

// The process-wide icon list; index 0 is a plain file, 1 a folder.
struct TIconList {
    std::mutex Lock;
    std::vector<QIcon> Icons;
    std::vector<QString> Keys;
    // Rendered images per index, small and large, made on first use.
    std::vector<QImage> Small, Large;
};

TIconList& Icons() {
    static TIconList list;
    return list;
}

QIcon StandardIcon(QStyle::StandardPixmap which) {
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        return app->style()->standardIcon(which);
    return QIcon();
}

int IndexOfKey(const QString& key, const QIcon& icon) {
    TIconList& list = Icons();
    std::lock_guard guard(list.Lock);
    if (list.Icons.empty()) {
        list.Icons.push_back(StandardIcon(QStyle::SP_FileIcon));
        list.Keys.push_back(QStringLiteral("file:"));
        list.Icons.push_back(StandardIcon(QStyle::SP_DirIcon));
        list.Keys.push_back(QStringLiteral("dir:"));
    }
    for (size_t i = 0; i < list.Keys.size(); ++i)
        if (list.Keys[i] == key)
            return static_cast<int>(i);
    if (icon.isNull())
        return key.startsWith(QStringLiteral("dir:")) ? 1 : 0;
    list.Icons.push_back(icon);
    list.Keys.push_back(key);
    return static_cast<int>(list.Icons.size() - 1);
}

QImage IconImage(int index, bool large) {
    TIconList& list = Icons();
    std::lock_guard guard(list.Lock);
    if (index < 0 || static_cast<size_t>(index) >= list.Icons.size())
        return QImage();
    std::vector<QImage>& images = large ? list.Large : list.Small;
    if (images.size() < list.Icons.size())
        images.resize(list.Icons.size());
    QImage& image = images[static_cast<size_t>(index)];
    if (image.isNull()) {
        const TPoint size = TShellIcons::IconSize(large);
        image = list.Icons[static_cast<size_t>(index)].pixmap(size.X, size.Y).toImage();
    }
    return image;
}

} // namespace

namespace TShellIcons {

int IconIndex(const std::string& name) {
    IndexOfKey(QStringLiteral("file:"), QIcon()); // makes sure the fixed entries exist
    const QString path = QString::fromStdString(name).replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QFileInfo info(path);
    if (info.exists()) {
        QFileIconProvider provider;
        const QIcon icon = provider.icon(info);
        if (info.isDir())
            return icon.isNull() ? 1 : IndexOfKey(QStringLiteral("dir:") + info.absoluteFilePath(), icon);
        return IndexOfKey(QStringLiteral("path:") + info.absoluteFilePath(), icon);
    }
    // Nothing of that name: the icon of the file's kind, found by its suffix.
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    if (mime.isDefault())
        return 0;
    return IndexOfKey(QStringLiteral("mime:") + mime.name(), QIcon::fromTheme(mime.iconName()));
}

int Count() {
    TIconList& list = Icons();
    std::lock_guard guard(list.Lock);
    return static_cast<int>(list.Icons.size());
}

TPoint IconSize(bool large) {
    return large ? TPoint{32, 32} : TPoint{16, 16};
}

void Draw(TCanvas& canvas, int index, int x, int y, bool large) {
    const QImage img = IconImage(index, large);
    if (!img.isNull())
        canvas.DrawImage(x, y, img);
}

void StretchDraw(TCanvas& canvas, int index, const TRect& dest, bool large) {
    const QImage img = IconImage(index, large);
    if (!img.isNull())
        canvas.StretchDrawImage(dest, img);
}

} // namespace TShellIcons

} // namespace quorvel

#include "MapPictures.h"

#include "BmpPicture.h"

#include <QFileInfo>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace MapPictures {

QSize requiredSize(int kind)
{
    switch (kind) {
    case MapKind:
        return {960, 435};
    case DestinationKind:
        return {400, 225};
    default:
        return {300, 300};
    }
}

namespace {

QImage textPicture(int kind, const QString& text, const QColor& ink)
{
    QImage img(requiredSize(kind), QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setPen(ink);
    p.drawText(img.rect().adjusted(12, 12, -12, -12), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
    return img;
}

} // namespace

QImage DrawInstructionPlaceholder(int kind)
{
    const QSize s = requiredSize(kind);
    return textPicture(kind, u"画像を取り込んで下さい。（横%1×縦%2）"_s.arg(s.width()).arg(s.height()), Qt::black);
}

QImage DrawWrongSizePlaceholder(int kind, const QString& why)
{
    return textPicture(kind, why, Qt::red);
}

bool LoadPictureChecked(int kind, const QString& path, QImage* out)
{
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        *out = DrawInstructionPlaceholder(kind);
        return false;
    }
    QString why;
    const QImage img = PictureFile::load(path, &why);
    const QSize s = requiredSize(kind);
    if (img.isNull()) {
        *out = DrawWrongSizePlaceholder(kind, why);
        return false;
    }
    if (img.size() != s) {
        *out = DrawWrongSizePlaceholder(kind, u"画像のサイズが，横%1×縦%2 ではありません。"_s.arg(s.width()).arg(s.height()));
        return false;
    }
    *out = img.convertToFormat(QImage::Format_RGB32);
    return true;
}

} // namespace MapPictures

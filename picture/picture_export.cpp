#include "picture_export.h"

#include "picture_painter.h"

#include <QBuffer>
#include <QPainter>
#ifdef KGF_HAVE_SVG
#include <QSvgGenerator>
#endif

std::optional<PictureFormat> pictureFormatFor(const QString &path)
{
    if (path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive))
        return PictureFormat::Svg;
    if (path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        return PictureFormat::Png;
    return std::nullopt;
}

bool canWriteSvg()
{
#ifdef KGF_HAVE_SVG
    return true;
#else
    return false;
#endif
}

QImage pictureImage(const PictureContent &content, const QSize &size, qreal pixelRatio,
                    const PictureFit &fit)
{
    QImage image(size * pixelRatio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(pixelRatio);
    image.fill(Qt::white);
    QPainter painter(&image);
    paintPicture(painter, content, layOutPicture(content, QSizeF(size), fit));
    return image;
}

QByteArray pictureBytes(const PictureContent &content, const QSize &size, PictureFormat format,
                        const PictureFit &fit)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (format == PictureFormat::Png) {
        if (!pictureImage(content, size, 1, fit).save(&buffer, "PNG"))
            return {};
        return buffer.data();
    }
#ifdef KGF_HAVE_SVG
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setTitle(pictureTitle(content));
    QStringList lines;
    for (int l = 0; l < PictureContent::LineCount; ++l)
        lines << lineDescription(content.lines[l], l + 1);
    svg.setDescription(lines.join(u'\n'));
    QPainter painter;
    if (!painter.begin(&svg))
        return {};
    paintPicture(painter, content, layOutPicture(content, QSizeF(size), fit));
    painter.end();
    return buffer.data();
#else
    return {};
#endif
}

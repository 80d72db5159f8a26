#pragma once

#include "picture_content.h"
#include "picture_layout.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <optional>

// The picture as an image or a file's bytes, drawn without a window.

// The size the command line draws at, in pixels.
constexpr QSize DefaultPictureSize(1100, 480);

enum class PictureFormat { Png, Svg };
// The format a file's name asks for, by its ending: ".png" or ".svg" in
// any case; nothing for any other name.
std::optional<PictureFormat> pictureFormatFor(const QString &path);

// The picture at `size` logical pixels, with `pixelRatio` device pixels per
// logical pixel (2 for a sharp image on a screen scaled 200 %), fitted or as `fit` gives.
QImage pictureImage(const PictureContent &content, const QSize &size, qreal pixelRatio = 1,
                    const PictureFit &fit = {});
// Whether this build writes SVG: it needs Qt SVG, which a build may lack.
bool canWriteSvg();
// The bytes of a PNG or SVG file of the picture; empty when Qt could not make them.
QByteArray pictureBytes(const PictureContent &content, const QSize &size, PictureFormat format,
                        const PictureFit &fit = {});

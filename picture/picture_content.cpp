#include "picture_content.h"

#include "formation_table.h"
#include "line_captions.h"
#include "number_text.h"

QString axisName(Axis axis)
{
    Q_ASSERT(axis >= AxisX && axis < AxisCount);
    return QString(QLatin1Char("XYZ"[axis]));
}

QString viewName(int view)
{
    Q_ASSERT(view >= 0 && view < ViewCount);
    return axisName(PictureViews[view].horizontal) + QLatin1Char('-') +
           axisName(PictureViews[view].vertical);
}

qint32 storedOffset(const FormationLine &line, Axis axis)
{
    return axis == AxisX ? line.xOffset : axis == AxisY ? line.yOffset : line.zOffset;
}

void setStoredOffset(FormationLine &line, Axis axis, qint32 stored)
{
    (axis == AxisX ? line.xOffset : axis == AxisY ? line.yOffset : line.zOffset) = stored;
}

double offsetFeet(const FormationLine &line, Axis axis)
{
    return double(storedOffset(line, axis)) / FormationLine::UnitsPerFoot;
}

QString pictureTitle(const PictureContent &content)
{
    if (content.formation < 0)
        return QStringLiteral("Formation picture");
    return QStringLiteral("Formation %1: %2").arg(content.formation).arg(content.name);
}

QString lineTypeText(const FormationLine &line)
{
    const int index = line.typeIndex();
    return index < FormationLine::TypeCount ? typeCaption(index)
                                            : QStringLiteral("type %1").arg(index);
}

QStringList modifierTexts(const FormationLine &line)
{
    QStringList texts;
    for (int k = 0; k < FormationLine::ModifierCount; ++k)
        if (line.hasModifier(k))
            texts << modifierCaption(k);
    return texts;
}

QString feetText(qint32 stored)
{
    return formatFeet(stored) + QStringLiteral(" ft");
}

QString lineDescription(const PictureLine &line, int number)
{
    QStringList parts{lineTypeText(line.line)};
    parts << modifierTexts(line.line);
    parts << QStringLiteral("%1 aircraft").arg(line.line.count);
    for (const Axis axis : {AxisX, AxisY, AxisZ})
        parts << axisName(axis) + QLatin1Char(' ') + feetText(storedOffset(line.line, axis));
    if (!line.written)
        parts << QStringLiteral("not written");
    return QStringLiteral("Line %1: %2").arg(number).arg(parts.join(QStringLiteral(", ")));
}

PictureContent storedPicture(const QByteArray &table, int formation, const QString &name)
{
    Q_ASSERT(table.size() == FormationTable::ByteCount);
    Q_ASSERT(formation >= 0 && formation < FormationTable::FormationCount);
    PictureContent content;
    content.formation = formation;
    content.name = name;
    for (int l = 0; l < PictureContent::LineCount; ++l)
        content.lines[l].line = FormationLine::fromBytes(
            table.mid(formation * FormationTable::FormationBytes + l * FormationLine::Size,
                      FormationLine::Size));
    return content;
}

void setGhosts(PictureContent &content, const QByteArray &reference)
{
    Q_ASSERT(reference.size() == FormationTable::FormationBytes);
    for (int l = 0; l < PictureContent::LineCount; ++l) {
        PictureLine &shown = content.lines[l];
        const FormationLine before =
            FormationLine::fromBytes(reference.mid(l * FormationLine::Size, FormationLine::Size));
        // Only where it was is drawn: a line changed in its type alone has no ghost.
        const bool moved = before.xOffset != shown.line.xOffset ||
                           before.yOffset != shown.line.yOffset ||
                           before.zOffset != shown.line.zOffset;
        shown.ghost = moved ? std::optional<FormationLine>(before) : std::nullopt;
    }
}

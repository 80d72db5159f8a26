#include "table_diff.h"

#include "formation_line.h"
#include "formation_table.h"
#include "line_captions.h"
#include "message_text.h"
#include "number_text.h"
#include "table_text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

QString typeText(const FormationLine &line)
{
    const QString caption = typeCaption(line.typeIndex());
    return caption.isEmpty() ? QStringLiteral("type index %1").arg(line.typeIndex()) : caption;
}

QString modifiersText(const FormationLine &line)
{
    QStringList set;
    for (int k = 0; k < FormationLine::ModifierCount; ++k)
        if (line.hasModifier(k))
            set << modifierCaption(k);
    return set.isEmpty() ? QStringLiteral("none") : set.join(QStringLiteral(", "));
}

namespace
{

QList<FieldChange> lineChanges(const FormationLine &a, const FormationLine &b)
{
    const struct {
        const char *field;
        QString before;
        QString after;
    } fields[] = {
        {"type", typeText(a), typeText(b)},
        {"modifiers", modifiersText(a), modifiersText(b)},
        {"count", QString::number(a.count), QString::number(b.count)},
        {"xFeet", formatFeet(a.xOffset), formatFeet(b.xOffset)},
        {"yFeet", formatFeet(a.yOffset), formatFeet(b.yOffset)},
        {"zFeet", formatFeet(a.zOffset), formatFeet(b.zOffset)},
        {"byte0", QString::number(a.byte0), QString::number(b.byte0)},
        {"byte3", QString::number(a.byte3), QString::number(b.byte3)},
    };
    QList<FieldChange> changes;
    for (const auto &field : fields)
        if (field.before != field.after)
            changes.append({QLatin1String(field.field), field.before, field.after});
    return changes;
}

} // namespace

QList<FormationChanges> diffTables(const QByteArray &before, const QByteArray &after)
{
    Q_ASSERT(before.size() == FormationTable::ByteCount && after.size() == before.size());
    QList<FormationChanges> changes;
    for (int formation = 0; formation < FormationTable::FormationCount; ++formation) {
        FormationChanges formationChanges{formation, {}};
        for (int line = 1; line <= FormationTable::LinesPerFormation; ++line) {
            const int at = (FormationTable::rowOfLine(formation, line) - 1) * FormationLine::Size;
            const QList<FieldChange> fields =
                lineChanges(FormationLine::fromBytes(before.mid(at, FormationLine::Size)),
                            FormationLine::fromBytes(after.mid(at, FormationLine::Size)));
            if (!fields.isEmpty())
                formationChanges.lines.append({line, fields});
        }
        if (!formationChanges.lines.isEmpty())
            changes.append(formationChanges);
    }
    return changes;
}

QString diffText(const QList<FormationChanges> &changes, const QStringList &names)
{
    QString text;
    for (const FormationChanges &formation : changes) {
        const QString name = names.value(formation.formation);
        text += QStringLiteral("formation %1").arg(formation.formation);
        if (!name.isEmpty())
            text += QStringLiteral(" (%1)").arg(escapeControls(name)); // names go to terminals
        text += u'\n';
        for (const LineChanges &line : formation.lines) {
            text += QStringLiteral("  line %1\n").arg(line.line);
            for (const FieldChange &field : line.fields)
                text += QStringLiteral("    %1: %2 -> %3\n")
                            .arg(field.field, field.before, field.after);
        }
    }
    return text;
}

namespace
{

QJsonValue typeValue(const FormationLine &line)
{
    QJsonObject type{{QStringLiteral("typeIndex"), line.typeIndex()}};
    if (const QString caption = typeCaption(line.typeIndex()); !caption.isEmpty())
        type.insert(QStringLiteral("type"), caption);
    return type;
}

QJsonValue modifiersValue(const FormationLine &line)
{
    QJsonArray set;
    for (int k = 0; k < FormationLine::ModifierCount; ++k)
        if (line.hasModifier(k))
            set.append(modifierCaption(k));
    return set;
}

QJsonValue offsetValue(qint32 stored)
{
    return QJsonObject{{QStringLiteral("feet"), offsetInFeet(stored)},
                       {QStringLiteral("stored"), stored}};
}

// The fields of a line that differ, each with A's and B's value.
QJsonObject lineFields(const FormationLine &a, const FormationLine &b)
{
    const struct {
        const char *field;
        QJsonValue a;
        QJsonValue b;
    } fields[] = {
        {"type", typeValue(a), typeValue(b)},
        {"modifiers", modifiersValue(a), modifiersValue(b)},
        {"count", a.count, b.count},
        {"x", offsetValue(a.xOffset), offsetValue(b.xOffset)},
        {"y", offsetValue(a.yOffset), offsetValue(b.yOffset)},
        {"z", offsetValue(a.zOffset), offsetValue(b.zOffset)},
        {"byte0", a.byte0, b.byte0},
        {"byte3", a.byte3, b.byte3},
    };
    QJsonObject changed;
    for (const auto &field : fields)
        if (field.a != field.b)
            changed.insert(QLatin1String(field.field), QJsonObject{{QStringLiteral("a"), field.a},
                                                                   {QStringLiteral("b"), field.b}});
    return changed;
}

} // namespace

QByteArray diffJson(const QByteArray &a, const QByteArray &b, const QStringList &names)
{
    QJsonArray formations;
    for (const FormationChanges &formation : diffTables(a, b)) {
        QJsonArray lines;
        for (const LineChanges &line : formation.lines) {
            const int at = (FormationTable::rowOfLine(formation.formation, line.line) - 1) *
                           FormationLine::Size;
            lines.append(QJsonObject{
                {QStringLiteral("line"), line.line},
                {QStringLiteral("fields"),
                 lineFields(FormationLine::fromBytes(a.mid(at, FormationLine::Size)),
                            FormationLine::fromBytes(b.mid(at, FormationLine::Size)))}});
        }
        formations.append(
            QJsonObject{{QStringLiteral("formation"), formation.formation},
                        {QStringLiteral("formationName"), names.value(formation.formation)},
                        {QStringLiteral("lines"), lines}});
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("formations"), formations}})
        .toJson(QJsonDocument::Indented);
}

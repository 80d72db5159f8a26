// Reading the JSON form of the table.
#include "formation_table.h"
#include "line_captions.h"
#include "number_text.h"
#include "table_text_fields.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSet>
#include <algorithm>
#include <optional>

using namespace tabletext;

namespace
{

// Where a parse error is, as line and column of the text.
QString lineAndColumn(QByteArrayView text, qsizetype offset)
{
    const QByteArrayView before = text.first(qBound(qsizetype(0), offset, text.size()));
    const qsizetype lineStart = before.lastIndexOf('\n') + 1;
    return QStringLiteral("line %1, column %2")
        .arg(before.count('\n') + 1)
        .arg(before.size() - lineStart + 1);
}

// QJsonDocument keeps the last of two equal keys in one object, so a hand
// edit that gives a field again would be taken without a word. The text is
// valid JSON when this runs, so a plain scan finds such a key: the path of
// the first one given twice, or nothing.
std::optional<QString> keyGivenTwice(QByteArrayView text)
{
    struct Container {
        bool object = false;
        QSet<QString> keys;
        QString key;       // the key whose value is being read
        int index = 0;     // in a list
        bool atKey = true; // in an object: the next string is a key
    };
    QList<Container> open;
    auto pathTo = [&open](const QString &last) {
        QString path;
        for (qsizetype i = 1; i < open.size(); ++i) { // the outermost object has no name
            const Container &outer = open[i - 1];
            path += outer.object ? (path.isEmpty() ? outer.key : u'.' + outer.key)
                                 : QStringLiteral("[%1]").arg(outer.index);
        }
        return path.isEmpty() ? last : path + u'.' + last;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '{' || c == '[') {
            Container container;
            container.object = c == '{';
            open.append(container);
        } else if (c == '}' || c == ']') {
            open.removeLast();
        } else if (c == ',' && !open.isEmpty()) {
            open.last().atKey = open.last().object;
            open.last().index += 1;
        } else if (c == ':' && !open.isEmpty()) {
            open.last().atKey = false;
        } else if (c == '"') {
            const qsizetype start = i;
            bool escaped = false;
            for (++i; i < text.size() && text[i] != '"'; ++i)
                if (text[i] == '\\') {
                    escaped = true;
                    ++i;
                }
            if (open.isEmpty() || !open.last().object || !open.last().atKey)
                continue;
            const QByteArrayView quoted = text.sliced(start, i + 1 - start);
            const QString key = escaped ? QJsonDocument::fromJson("[" + quoted.toByteArray() + "]")
                                              .array()
                                              .at(0)
                                              .toString()
                                        : QString::fromUtf8(quoted.sliced(1, quoted.size() - 2));
            Container &object = open.last();
            if (object.keys.contains(key))
                return pathTo(key);
            object.keys.insert(key);
            object.key = key;
        }
    }
    return std::nullopt;
}

QString typeName(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::String:
        return shown(value.toString());
    case QJsonValue::Array:
        return QStringLiteral("a list");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    default:
        return shownNumber(value.toDouble());
    }
}

class JsonReader
{
public:
    TableText read(const QJsonObject &top);

private:
    bool fail(const QString &path, const QString &what)
    {
        m_error = path.isEmpty() ? what : path + QStringLiteral(": ") + what;
        return false;
    }
    bool onlyKnownKeys(const QJsonObject &object, const QString &path, const QStringList &known,
                       const QString &what);
    bool number(const QJsonValue &value, const QString &path, std::optional<GivenNumber> &out);
    bool string(const QJsonValue &value, const QString &path, std::optional<QString> &out);
    bool readFormation(const QJsonValue &value, const QString &path, TextFormation &formation);
    bool readLine(const QJsonValue &value, const QString &path, TextLine &line, int &lineNumber);

    QString m_error;
    QString m_pathOf[FormationTable::FormationCount]; // where each formation was given
};

bool JsonReader::onlyKnownKeys(const QJsonObject &object, const QString &path,
                               const QStringList &known, const QString &what)
{
    for (auto it = object.begin(); it != object.end(); ++it)
        if (!known.contains(it.key()))
            return fail(path, QStringLiteral("%1 is not a field of %2; the fields are %3.")
                                  .arg(shown(it.key()), what, known.join(QStringLiteral(", "))));
    return true;
}

bool JsonReader::number(const QJsonValue &value, const QString &path,
                        std::optional<GivenNumber> &out)
{
    if (value.isUndefined())
        return true;
    if (!value.isDouble())
        return fail(path, QStringLiteral("%1 is not a number%2.")
                              .arg(typeName(value),
                                   value.isString() ? QStringLiteral("; write it without quotes")
                                                    : QString()));
    out = GivenNumber{value.toDouble(), shownNumber(value.toDouble())};
    return true;
}

bool JsonReader::string(const QJsonValue &value, const QString &path, std::optional<QString> &out)
{
    if (value.isUndefined())
        return true;
    if (!value.isString())
        return fail(path, QStringLiteral("%1 is not a text in quotes.").arg(typeName(value)));
    out = value.toString();
    return true;
}

TableText JsonReader::read(const QJsonObject &top)
{
    TableText result;
    auto failed = [&] {
        result.error = m_error;
        return result;
    };
    if (!onlyKnownKeys(top, QString(),
                       {QStringLiteral("format"), QStringLiteral("formatVersion"),
                        QStringLiteral("formations")},
                       QStringLiteral("the table")))
        return failed();
    const QJsonValue format = top.value(QStringLiteral("format"));
    if (format != QJsonValue(QLatin1String(TableTextFormatName))) {
        fail(QStringLiteral("format"),
             format.isUndefined()
                 ? QStringLiteral("the field is missing; this is not a KGF formation table text.")
                 : QStringLiteral("%1 is not \"%2\"; this is not a KGF formation table text.")
                       .arg(typeName(format), QLatin1String(TableTextFormatName)));
        return failed();
    }
    std::optional<GivenNumber> version;
    if (!number(top.value(QStringLiteral("formatVersion")), QStringLiteral("formatVersion"),
                version))
        return failed();
    if (!version || version->value != TableTextFormatVersion) {
        fail(QStringLiteral("formatVersion"),
             version ? QStringLiteral("this text is of version %1; this program reads version %2.")
                           .arg(version->shown, QString::number(TableTextFormatVersion))
                     : QStringLiteral("the field is missing."));
        return failed();
    }
    const QJsonValue formations = top.value(QStringLiteral("formations"));
    if (!formations.isArray() || formations.toArray().isEmpty()) {
        fail(QStringLiteral("formations"),
             formations.isUndefined() ? QStringLiteral("the field is missing.")
             : formations.isArray()
                 ? QStringLiteral("the list is empty; give at least one formation.")
                 : QStringLiteral("%1 is not a list of formations.").arg(typeName(formations)));
        return failed();
    }
    const QJsonArray list = formations.toArray();
    for (qsizetype i = 0; i < list.size(); ++i) {
        TextFormation formation;
        if (!readFormation(list[i], QStringLiteral("formations[%1]").arg(i), formation))
            return failed();
        result.formations.append(formation);
    }
    std::sort(
        result.formations.begin(), result.formations.end(),
        [](const TextFormation &a, const TextFormation &b) { return a.formation < b.formation; });
    result.ok = true;
    return result;
}

bool JsonReader::readFormation(const QJsonValue &value, const QString &path,
                               TextFormation &formation)
{
    if (!value.isObject())
        return fail(path, QStringLiteral("%1 is not a formation object.").arg(typeName(value)));
    const QJsonObject object = value.toObject();
    if (!onlyKnownKeys(
            object, path,
            {QStringLiteral("formation"), QStringLiteral("formationName"), QStringLiteral("lines")},
            QStringLiteral("a formation")))
        return false;
    std::optional<GivenNumber> number;
    const QString numberPath = path + QStringLiteral(".formation");
    if (!this->number(object.value(QStringLiteral("formation")), numberPath, number))
        return false;
    if (!number)
        return fail(path, QStringLiteral("the formation number is missing."));
    const auto whole = wholeIn(number->value, 0, FormationTable::FormationCount - 1);
    if (!whole)
        return fail(
            numberPath,
            QStringLiteral("%1 is not a formation number from 0 to 30.").arg(number->shown));
    formation.formation = *whole;
    QString &first = m_pathOf[formation.formation];
    if (!first.isEmpty())
        return fail(numberPath, QStringLiteral("formation %1 is given twice, here and in %2.")
                                    .arg(QString::number(formation.formation), first));
    first = path;
    std::optional<QString> name; // not used: the names belong to readorder.txt
    if (!string(object.value(QStringLiteral("formationName")),
                path + QStringLiteral(".formationName"), name))
        return false;

    const QString linesPath = path + QStringLiteral(".lines");
    const QJsonValue lines = object.value(QStringLiteral("lines"));
    if (lines.isUndefined())
        return fail(path, QStringLiteral("the lines are missing."));
    if (!lines.isArray() || lines.toArray().size() != FormationTable::LinesPerFormation)
        return fail(linesPath,
                    (!lines.isArray() ? typeName(lines) + QStringLiteral(" is not a list")
                     : lines.toArray().size() == 1
                         ? QStringLiteral("there is 1 line")
                         : QStringLiteral("there are %1 lines").arg(lines.toArray().size())) +
                        QStringLiteral("; a formation has exactly three, lines 1, 2 and 3."));
    const QJsonArray array = lines.toArray();
    bool seen[FormationTable::LinesPerFormation] = {};
    for (qsizetype i = 0; i < array.size(); ++i) {
        const QString linePath = linesPath + QStringLiteral("[%1]").arg(i);
        TextLine line;
        int lineNumber = 0;
        if (!readLine(array[i], linePath, line, lineNumber))
            return false;
        if (seen[lineNumber - 1])
            return fail(linePath + QStringLiteral(".line"),
                        QStringLiteral("line %1 is given twice.").arg(lineNumber));
        seen[lineNumber - 1] = true;
        formation.lines[lineNumber - 1] = line;
    }
    return true;
}

bool JsonReader::readLine(const QJsonValue &value, const QString &path, TextLine &line,
                          int &lineNumber)
{
    if (!value.isObject())
        return fail(path, QStringLiteral("%1 is not a line object.").arg(typeName(value)));
    const QJsonObject object = value.toObject();
    QStringList known{QStringLiteral("byte0"),     QStringLiteral("byte3"),
                      QStringLiteral("count"),     QStringLiteral("line"),
                      QStringLiteral("modifiers"), QStringLiteral("type"),
                      QStringLiteral("typeIndex")};
    for (int axis = 0; axis < Axes; ++axis)
        known << feetField(axis) << storedField(axis);
    if (!onlyKnownKeys(object, path, known, QStringLiteral("a line")))
        return false;
    auto at = [&path](const QString &field) {
        return field.isEmpty() ? path : path + u'.' + field;
    };
    auto field = [&object](const char *key) { return object.value(QLatin1String(key)); };

    std::optional<GivenNumber> number;
    if (!this->number(field("line"), at(QStringLiteral("line")), number))
        return false;
    if (!number)
        return fail(path, QStringLiteral("the line number is missing."));
    const auto whole = wholeIn(number->value, 1, FormationTable::LinesPerFormation);
    if (!whole)
        return fail(at(QStringLiteral("line")),
                    QStringLiteral("%1 is not a line number from 1 to 3.").arg(number->shown));
    lineNumber = *whole;

    LineFields fields;
    if (!string(field("type"), at(QStringLiteral("type")), fields.type) ||
        !this->number(field("typeIndex"), at(QStringLiteral("typeIndex")), fields.typeIndex) ||
        !this->number(field("count"), at(QStringLiteral("count")), fields.count) ||
        !this->number(field("byte0"), at(QStringLiteral("byte0")), fields.byte0) ||
        !this->number(field("byte3"), at(QStringLiteral("byte3")), fields.byte3))
        return false;

    const QJsonValue modifiers = field("modifiers");
    if (modifiers.isUndefined())
        return fail(path, QStringLiteral("the modifiers are missing; give [] for none."));
    if (!modifiers.isArray())
        return fail(at(QStringLiteral("modifiers")),
                    QStringLiteral("%1 is not a list of modifiers.").arg(typeName(modifiers)));
    const QJsonArray list = modifiers.toArray();
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString where = at(QStringLiteral("modifiers[%1]").arg(i));
        const int k = list[i].isString() ? modifierOfCaption(list[i].toString()) : -1;
        if (k < 0)
            return fail(where, QStringLiteral("%1 is not a modifier; the modifiers are \"One "
                                              "lead\", \"Staggered\", \"Step\" and \"Alternate\".")
                                   .arg(typeName(list[i])));
        if (fields.modifiers[k])
            return fail(where, QStringLiteral("%1 is given twice.").arg(typeName(list[i])));
        fields.modifiers[k] = true;
    }

    for (int axis = 0; axis < Axes; ++axis) {
        const QJsonValue feet = object.value(feetField(axis));
        const QString feetPath = at(feetField(axis));
        if (feet.isString()) {
            const auto feetValue = parseNumberBox(feet.toString());
            if (!feetValue)
                return fail(feetPath,
                            QStringLiteral("%1 is not a number.").arg(shown(feet.toString())));
            fields.feet[axis] = GivenNumber{*feetValue, shown(feet.toString())};
        } else if (!feet.isUndefined() && !feet.isDouble()) {
            return fail(feetPath,
                        QStringLiteral("%1 is not a number of feet.").arg(typeName(feet)));
        } else if (!this->number(feet, feetPath, fields.feet[axis])) {
            return false;
        }
        if (!this->number(object.value(storedField(axis)), at(storedField(axis)),
                          fields.stored[axis]))
            return false;
    }

    return readCheckedLine(fields, at, line, m_error);
}

} // namespace

namespace tabletext
{

TableText readJson(QByteArrayView text)
{
    QJsonParseError error;
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromRawData(text.data(), text.size()), &error);
    TableText result;
    if (error.error != QJsonParseError::NoError) {
        result.error = QStringLiteral("%1: this is not valid JSON (%2).")
                           .arg(lineAndColumn(text, error.offset), error.errorString());
        return result;
    }
    if (!document.isObject()) {
        result.error = QStringLiteral("The text is not a JSON object in { }.");
        return result;
    }
    if (const auto twice = keyGivenTwice(text)) {
        result.error = QStringLiteral("%1: this field is given twice.").arg(*twice);
        return result;
    }
    return JsonReader().read(document.object());
}

} // namespace tabletext

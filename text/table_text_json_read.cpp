// Reading the JSON form of the table.
#include "formation_table.h"
#include "gathered_lines.h"
#include "line_captions.h"
#include "number_text.h"
#include "table_text_fields.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QRegularExpression>
#include <QSet>
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
    // A key with a line break in it would break the message's line.
    auto named = [](const QString &key) { return printable(key) ? key : shown(key); };
    auto pathTo = [&open, &named](const QString &last) {
        QString path;
        for (qsizetype i = 1; i < open.size(); ++i) { // the outermost object has no name
            const Container &outer = open[i - 1];
            path += outer.object ? (path.isEmpty() ? named(outer.key) : u'.' + named(outer.key))
                                 : QStringLiteral("[%1]").arg(outer.index);
        }
        return path.isEmpty() ? named(last) : path + u'.' + named(last);
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

std::optional<int> wholeNumber(const QJsonValue &value, int low, int high)
{
    return value.isDouble() ? wholeIn(value.toDouble(), low, high) : std::nullopt;
}

// Where a path points, for a person: the formation and line as the window
// numbers them, where the text gives them, with the path beside them. A
// text may hold some formations only, so formations[i] is not formation i.
QString placeOf(const QJsonObject &top, const QString &path)
{
    static const QRegularExpression indices(
        QStringLiteral(R"(^formations\[(\d+)\](?:\.lines\[(\d+)\])?)"));
    const QRegularExpressionMatch match = indices.match(path);
    if (!match.hasMatch())
        return path;
    const QJsonObject formation =
        top.value(QStringLiteral("formations"))[match.captured(1).toInt()].toObject();
    const auto number = wholeNumber(formation.value(QStringLiteral("formation")), 0,
                                    FormationTable::FormationCount - 1);
    if (!number)
        return path;
    QString named = QStringLiteral("formation %1").arg(*number);
    if (match.hasCaptured(2)) {
        const QJsonValue line = formation.value(QStringLiteral("lines"))[match.captured(2).toInt()];
        if (const auto lineNumber =
                wholeNumber(line[QStringLiteral("line")], 1, FormationTable::LinesPerFormation))
            named += QStringLiteral(", line %1").arg(*lineNumber);
    }
    return QStringLiteral("%1 (`%2`)").arg(named, path);
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

// Reads a table text top-down: the head (form and version), the list of
// formations, each formation, each of its lines. The first fault ends the
// reading; m_error says where it is and what is wrong.
class JsonReader
{
public:
    explicit JsonReader(const QJsonObject &top) : m_top(top) {}
    TableText read();

private:
    bool readHead(const QJsonObject &top);
    bool findFormations(const QJsonObject &top, QJsonArray &list);
    bool readFormation(const QJsonValue &value, const QString &path);
    bool readFormationNumber(const QJsonObject &object, const QString &path, int &number);
    bool readLines(const QJsonObject &object, const QString &path, int formation);
    bool readLine(const QJsonValue &value, const QString &path, TextLine &line, int &lineNumber);
    bool readLineNumber(const QJsonObject &object, const QString &path, int &lineNumber);
    bool readModifiers(const QJsonObject &object, const QString &path, LineFields &fields);
    bool readOffsets(const QJsonObject &object, const QString &path, LineFields &fields);

    // Values of a given kind; an absent value leaves `out` empty.
    bool number(const QJsonValue &value, const QString &path, std::optional<GivenNumber> &out);
    bool string(const QJsonValue &value, const QString &path, std::optional<QString> &out);
    bool feet(const QJsonValue &value, const QString &path, std::optional<GivenNumber> &out);
    bool onlyKnownKeys(const QJsonObject &object, const QString &path, const QStringList &known,
                       const QString &what);
    bool fail(const QString &path, const QString &what)
    {
        m_error = path.isEmpty() ? what : placeOf(m_top, path) + QStringLiteral(": ") + what;
        return false;
    }

    TableText failed() const
    {
        TableText result;
        result.error = m_error;
        return result;
    }

    const QJsonObject m_top;
    QString m_error;
    QString m_pathOf[FormationTable::FormationCount]; // where each formation was given
    GatheredLines m_gathered;
};

QString fieldPath(const QString &path, const QString &field)
{
    return field.isEmpty() ? path : path + u'.' + field;
}

TableText JsonReader::read()
{
    TableText result;
    QJsonArray list;
    if (!readHead(m_top) || !findFormations(m_top, list))
        return failed();
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (!readFormation(list[i], QStringLiteral("formations[%1]").arg(i)))
            return failed();
    }
    result.formations = m_gathered.formations();
    result.ok = true;
    return result;
}

bool JsonReader::readHead(const QJsonObject &top)
{
    if (!onlyKnownKeys(top, QString(),
                       {QStringLiteral("format"), QStringLiteral("formatVersion"),
                        QStringLiteral("formations")},
                       QStringLiteral("the table")))
        return false;
    const QJsonValue format = top.value(QStringLiteral("format"));
    if (format != QJsonValue(QLatin1String(TableTextFormatName)))
        return fail(QStringLiteral("format"),
                    format.isUndefined()
                        ? QStringLiteral("the field is missing; this is not a KGF formation "
                                         "table text.")
                        : QStringLiteral("%1 is not \"%2\"; this is not a KGF formation table "
                                         "text.")
                              .arg(typeName(format), QLatin1String(TableTextFormatName)));
    std::optional<GivenNumber> version;
    if (!number(top.value(QStringLiteral("formatVersion")), QStringLiteral("formatVersion"),
                version))
        return false;
    if (!version)
        return fail(QStringLiteral("formatVersion"), QStringLiteral("the field is missing."));
    if (version->value != TableTextFormatVersion)
        return fail(QStringLiteral("formatVersion"), otherVersion(version->shown));
    return true;
}

bool JsonReader::findFormations(const QJsonObject &top, QJsonArray &list)
{
    const QJsonValue formations = top.value(QStringLiteral("formations"));
    if (formations.isUndefined())
        return fail(QStringLiteral("formations"), QStringLiteral("the field is missing."));
    if (!formations.isArray())
        return fail(QStringLiteral("formations"),
                    QStringLiteral("%1 is not a list of formations.").arg(typeName(formations)));
    list = formations.toArray();
    if (list.isEmpty())
        return fail(QStringLiteral("formations"),
                    QStringLiteral("the list is empty; give at least one formation."));
    return true;
}

bool JsonReader::readFormation(const QJsonValue &value, const QString &path)
{
    if (!value.isObject())
        return fail(path, QStringLiteral("%1 is not a formation object.").arg(typeName(value)));
    const QJsonObject object = value.toObject();
    if (!onlyKnownKeys(
            object, path,
            {QStringLiteral("formation"), QStringLiteral("formationName"), QStringLiteral("lines")},
            QStringLiteral("a formation")))
        return false;
    int number = 0;
    std::optional<QString> name;
    if (!readFormationNumber(object, path, number) ||
        !string(object.value(QStringLiteral("formationName")),
                fieldPath(path, QStringLiteral("formationName")), name) ||
        !readLines(object, path, number))
        return false;
    m_gathered.name(number, name.value_or(QString()));
    return true;
}

bool JsonReader::readFormationNumber(const QJsonObject &object, const QString &path, int &number)
{
    const QString numberPath = fieldPath(path, QStringLiteral("formation"));
    std::optional<GivenNumber> given;
    if (!this->number(object.value(QStringLiteral("formation")), numberPath, given))
        return false;
    if (!given)
        return fail(path, QStringLiteral("the formation number is missing."));
    QString error;
    const auto whole = formationNumber(*given, error);
    if (!whole)
        return fail(numberPath, error);
    number = *whole;
    QString &first = m_pathOf[number];
    if (!first.isEmpty())
        return fail(numberPath,
                    QStringLiteral("this formation is given twice, here and in `%1`.").arg(first));
    first = path;
    return true;
}

bool JsonReader::readLines(const QJsonObject &object, const QString &path, int formation)
{
    const QString linesPath = fieldPath(path, QStringLiteral("lines"));
    const QJsonValue lines = object.value(QStringLiteral("lines"));
    if (lines.isUndefined())
        return fail(path, QStringLiteral("the lines are missing."));
    const QJsonArray array = lines.toArray();
    if (!lines.isArray() || array.size() != FormationTable::LinesPerFormation)
        return fail(linesPath,
                    (!lines.isArray()    ? typeName(lines) + QStringLiteral(" is not a list")
                     : array.size() == 1 ? QStringLiteral("there is 1 line")
                                         : QStringLiteral("there are %1 lines").arg(array.size())) +
                        QStringLiteral("; a formation has exactly three, lines 1, 2 and 3."));
    for (qsizetype i = 0; i < array.size(); ++i) {
        const QString linePath = linesPath + QStringLiteral("[%1]").arg(i);
        TextLine line;
        int lineNumber = 0;
        if (!readLine(array[i], linePath, line, lineNumber))
            return false;
        if (const auto before = m_gathered.take(formation, lineNumber, line, linePath))
            return fail(fieldPath(linePath, QStringLiteral("line")),
                        QStringLiteral("this line is given twice, here and in `%1`.").arg(*before));
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
    if (!onlyKnownKeys(object, path, known, QStringLiteral("a line")) ||
        !readLineNumber(object, path, lineNumber))
        return false;

    LineFields fields;
    auto given = [&](const char *key) { return object.value(QLatin1String(key)); };
    auto at = [&path](const char *key) { return fieldPath(path, QLatin1String(key)); };
    if (!string(given("type"), at("type"), fields.type) ||
        !number(given("typeIndex"), at("typeIndex"), fields.typeIndex) ||
        !number(given("count"), at("count"), fields.count) ||
        !number(given("byte0"), at("byte0"), fields.byte0) ||
        !number(given("byte3"), at("byte3"), fields.byte3) ||
        !readModifiers(object, path, fields) || !readOffsets(object, path, fields))
        return false;
    return readCheckedLine(
        fields,
        [this, &path](const QString &field) { return placeOf(m_top, fieldPath(path, field)); },
        line, m_error);
}

bool JsonReader::readLineNumber(const QJsonObject &object, const QString &path, int &lineNumber)
{
    const QString numberPath = fieldPath(path, QStringLiteral("line"));
    std::optional<GivenNumber> given;
    if (!number(object.value(QStringLiteral("line")), numberPath, given))
        return false;
    if (!given)
        return fail(path, QStringLiteral("the line number is missing."));
    QString error;
    const auto whole = tabletext::lineNumber(*given, error);
    if (!whole)
        return fail(numberPath, error);
    lineNumber = *whole;
    return true;
}

bool JsonReader::readModifiers(const QJsonObject &object, const QString &path, LineFields &fields)
{
    const QJsonValue modifiers = object.value(QStringLiteral("modifiers"));
    if (modifiers.isUndefined())
        return fail(path, QStringLiteral("the modifiers are missing; give [] for none."));
    if (!modifiers.isArray())
        return fail(fieldPath(path, QStringLiteral("modifiers")),
                    QStringLiteral("%1 is not a list of modifiers.").arg(typeName(modifiers)));
    const QJsonArray list = modifiers.toArray();
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString where = fieldPath(path, QStringLiteral("modifiers[%1]").arg(i));
        const int k = list[i].isString() ? modifierOfCaption(list[i].toString()) : -1;
        if (k < 0)
            return fail(where, QStringLiteral("%1 is not a modifier; the modifiers are \"One "
                                              "lead\", \"Staggered\", \"Step\" and \"Alternate\".")
                                   .arg(typeName(list[i])));
        if (fields.modifiers[k])
            return fail(where, QStringLiteral("%1 is given twice.").arg(typeName(list[i])));
        fields.modifiers[k] = true;
    }
    return true;
}

bool JsonReader::readOffsets(const QJsonObject &object, const QString &path, LineFields &fields)
{
    for (int axis = 0; axis < Axes; ++axis) {
        if (!feet(object.value(feetField(axis)), fieldPath(path, feetField(axis)),
                  fields.feet[axis]) ||
            !number(object.value(storedField(axis)), fieldPath(path, storedField(axis)),
                    fields.stored[axis]))
            return false;
    }
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

// Feet come as a text, read as the window reads its box, or as a number.
bool JsonReader::feet(const QJsonValue &value, const QString &path, std::optional<GivenNumber> &out)
{
    if (value.isString()) {
        const auto feet = parseNumberBox(value.toString());
        if (!feet)
            return fail(path, QStringLiteral("%1 is not a number.").arg(shown(value.toString())));
        out = GivenNumber{*feet, shown(value.toString())};
        return true;
    }
    if (!value.isUndefined() && !value.isDouble())
        return fail(path, QStringLiteral("%1 is not a number of feet.").arg(typeName(value)));
    return number(value, path, out);
}

bool JsonReader::onlyKnownKeys(const QJsonObject &object, const QString &path,
                               const QStringList &known, const QString &what)
{
    for (auto it = object.begin(); it != object.end(); ++it)
        if (!known.contains(it.key()))
            return fail(path, QStringLiteral("%1 is not a field of %2; the fields are %3.")
                                  .arg(shown(it.key()), what, known.join(QStringLiteral(", "))));
    return true;
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
        result.error = QStringLiteral("%1: this field is given twice.")
                           .arg(placeOf(document.object(), *twice));
        return result;
    }
    return JsonReader(document.object()).read();
}

} // namespace tabletext

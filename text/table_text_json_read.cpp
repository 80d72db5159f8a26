// Reading the JSON form of the table.
#include "formation_table.h"
#include "gathered_lines.h"
#include "line_captions.h"
#include "number_text.h"
#include "table_text_fields.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QRegularExpression>
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

// The keys of the table, of a formation and of a line; messages list them
// in this order.
const QStringList TableKeys{QStringLiteral("format"), QStringLiteral("formatVersion"),
                            QStringLiteral("formations")};
const QStringList FormationKeys{QStringLiteral("formation"), QStringLiteral("formationName"),
                                QStringLiteral("lines")};
const QStringList LineKeys = [] {
    QStringList keys{QStringLiteral("byte0"),     QStringLiteral("byte3"),
                     QStringLiteral("count"),     QStringLiteral("line"),
                     QStringLiteral("modifiers"), QStringLiteral("type"),
                     QStringLiteral("typeIndex")};
    for (int axis = 0; axis < Axes; ++axis)
        keys << feetField(axis) << storedField(axis);
    return keys;
}();

// What QJsonDocument does not keep, found by a plain scan of the text
// (valid JSON when this runs): a key given twice in one object, of which
// QJsonDocument keeps the last, so that a hand edit that gives a field again
// would be taken without a word; and each number as written, where
// QJsonDocument keeps the nearest double, in which 4.9999999999999999 is 5.
struct RawFacts {
    std::optional<QString> keyGivenTwice; // the path of the first
    QHash<QString, QString> numbers;      // by path; of a key given twice, the last
};

struct Container {
    bool object = false;
    QSet<QString> keys;
    QString key;       // the key whose value is being read
    int index = 0;     // in a list
    bool atKey = true; // in an object: the next string is a key
};

// The path of the value being read, such as formations[0].lines[1].count.
QString pathIn(const QList<Container> &open)
{
    // A key with a line break in it would break the message's line.
    auto named = [](const QString &key) { return printable(key) ? key : shown(key); };
    QString path;
    for (const Container &container : open) {
        if (!container.object)
            path += QStringLiteral("[%1]").arg(container.index);
        else
            path += path.isEmpty() ? named(container.key) : u'.' + named(container.key);
    }
    return path;
}

QString unquoted(QByteArrayView quoted, bool escaped)
{
    if (!escaped)
        return QString::fromUtf8(quoted.sliced(1, quoted.size() - 2));
    return QJsonDocument::fromJson("[" + quoted.toByteArray() + "]").array().at(0).toString();
}

// Whether the reader may ask for the number being read. It refuses a key
// that is none of the form's before it reads what is under it, and stops at
// the first fault, so it reads no more of a list than the 31 formations and
// one given twice. Other numbers are not kept: a text of millions of them
// costs little more than QJsonDocument's own copy.
bool mayBeRead(const QList<Container> &open)
{
    constexpr int ListEntriesRead = FormationTable::FormationCount + 1;
    return std::all_of(open.begin(), open.end(), [](const Container &container) {
        return container.object
                   ? TableKeys.contains(container.key) || FormationKeys.contains(container.key) ||
                         LineKeys.contains(container.key)
                   : container.index < ListEntriesRead;
    });
}

bool inNumber(char c)
{
    return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
}

RawFacts scanRaw(QByteArrayView text)
{
    RawFacts facts;
    QList<Container> open;
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
            Container &object = open.last();
            object.key = unquoted(text.sliced(start, i + 1 - start), escaped);
            if (object.keys.contains(object.key) && !facts.keyGivenTwice)
                facts.keyGivenTwice = pathIn(open);
            object.keys.insert(object.key);
        } else if (inNumber(c)) { // outside strings, only numbers hold these
            const qsizetype start = i;
            while (i + 1 < text.size() && inNumber(text[i + 1]))
                ++i;
            if (mayBeRead(open))
                facts.numbers.insert(pathIn(open),
                                     QString::fromLatin1(text.sliced(start, i + 1 - start)));
        }
    }
    return facts;
}

// A value as a message names it; a number as `written`.
QString typeName(const QJsonValue &value, const QString &written)
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
        return shownAsWritten(written);
    }
}

// Reads a table text top-down: the head (form and version), the list of
// formations, each formation, each of its lines. The first fault ends the
// reading; m_error says where it is and what is wrong.
class JsonReader
{
public:
    JsonReader(const QJsonObject &top, RawFacts raw) : m_top(top), m_raw(std::move(raw)) {}
    TableText read();

private:
    QString placeOf(const QString &path) const;
    // A number of the text, with how it is written there.
    GivenNumber given(const QJsonValue &number, const QString &path) const;
    // A value as a message names it.
    QString typeName(const QJsonValue &value, const QString &path) const
    {
        return ::typeName(value, m_raw.numbers.value(path));
    }
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
        m_error = path.isEmpty() ? what : placeOf(path) + QStringLiteral(": ") + what;
        return false;
    }

    TableText failed() const
    {
        TableText result;
        result.error = m_error;
        return result;
    }

    const QJsonObject m_top;
    const RawFacts m_raw;
    QString m_error;
    QString m_pathOf[FormationTable::FormationCount]; // where each formation was given
    GatheredLines m_gathered;
};

QString fieldPath(const QString &path, const QString &field)
{
    return field.isEmpty() ? path : path + u'.' + field;
}

// Where a path points, for a person: the formation and line as the window
// numbers them, where the text gives them, with the path beside them. A
// text may hold some formations only, so formations[i] is not formation i.
QString JsonReader::placeOf(const QString &path) const
{
    static const QRegularExpression indices(
        QStringLiteral(R"(^formations\[(\d+)\](?:\.lines\[(\d+)\])?)"));
    const QRegularExpressionMatch match = indices.match(path);
    if (!match.hasMatch())
        return path;
    auto numberAt = [this](const QJsonValue &value, const QString &at, int low, int high) {
        return value.isDouble() ? wholeIn(given(value, at), low, high) : std::nullopt;
    };
    const QString formationPath = QStringLiteral("formations[%1]").arg(match.captured(1));
    const QJsonObject formation =
        m_top.value(QStringLiteral("formations"))[match.captured(1).toInt()].toObject();
    const auto number = numberAt(formation.value(QStringLiteral("formation")),
                                 formationPath + QStringLiteral(".formation"), 0,
                                 FormationTable::FormationCount - 1);
    if (!number)
        return path;
    QString named = QStringLiteral("formation %1").arg(*number);
    if (match.hasCaptured(2)) {
        const QJsonValue line = formation.value(QStringLiteral("lines"))[match.captured(2).toInt()];
        if (const auto lineNumber =
                numberAt(line[QStringLiteral("line")],
                         formationPath + QStringLiteral(".lines[%1].line").arg(match.captured(2)),
                         1, FormationTable::LinesPerFormation))
            named += QStringLiteral(", line %1").arg(*lineNumber);
    }
    return QStringLiteral("%1 (`%2`)").arg(named, path);
}

GivenNumber JsonReader::given(const QJsonValue &number, const QString &path) const
{
    const auto written = m_raw.numbers.constFind(path);
    Q_ASSERT(written != m_raw.numbers.cend());
    // Were it not found, the number counts as no whole number: never as one it is not.
    return givenNumber(number.toDouble(), written == m_raw.numbers.cend() ? QString() : *written);
}

TableText JsonReader::read()
{
    TableText result;
    QJsonArray list;
    if (m_raw.keyGivenTwice) {
        fail(*m_raw.keyGivenTwice, QStringLiteral("this field is given twice."));
        return failed();
    }
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
    if (!onlyKnownKeys(top, QString(), TableKeys, QStringLiteral("the table")))
        return false;
    const QJsonValue format = top.value(QStringLiteral("format"));
    if (format != QJsonValue(QLatin1String(TableTextFormatName)))
        return fail(QStringLiteral("format"),
                    format.isUndefined()
                        ? QStringLiteral("the field is missing; this is not a KGF formation "
                                         "table text.")
                        : QStringLiteral("%1 is not \"%2\"; this is not a KGF formation table "
                                         "text.")
                              .arg(typeName(format, QStringLiteral("format")),
                                   QLatin1String(TableTextFormatName)));
    std::optional<GivenNumber> version;
    if (!number(top.value(QStringLiteral("formatVersion")), QStringLiteral("formatVersion"),
                version))
        return false;
    if (!version)
        return fail(QStringLiteral("formatVersion"), QStringLiteral("the field is missing."));
    if (!wholeIn(*version, TableTextFormatVersion, TableTextFormatVersion))
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
                    QStringLiteral("%1 is not a list of formations.")
                        .arg(typeName(formations, QStringLiteral("formations"))));
    list = formations.toArray();
    if (list.isEmpty())
        return fail(QStringLiteral("formations"),
                    QStringLiteral("the list is empty; give at least one formation."));
    return true;
}

bool JsonReader::readFormation(const QJsonValue &value, const QString &path)
{
    if (!value.isObject())
        return fail(path,
                    QStringLiteral("%1 is not a formation object.").arg(typeName(value, path)));
    const QJsonObject object = value.toObject();
    if (!onlyKnownKeys(object, path, FormationKeys, QStringLiteral("a formation")))
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
                    (!lines.isArray()
                         ? typeName(lines, linesPath) + QStringLiteral(" is not a list")
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
        return fail(path, QStringLiteral("%1 is not a line object.").arg(typeName(value, path)));
    const QJsonObject object = value.toObject();
    if (!onlyKnownKeys(object, path, LineKeys, QStringLiteral("a line")) ||
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
        fields, [this, &path](const QString &field) { return placeOf(fieldPath(path, field)); },
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
                    QStringLiteral("%1 is not a list of modifiers.")
                        .arg(typeName(modifiers, fieldPath(path, QStringLiteral("modifiers")))));
    const QJsonArray list = modifiers.toArray();
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString where = fieldPath(path, QStringLiteral("modifiers[%1]").arg(i));
        const int k = list[i].isString() ? modifierOfCaption(list[i].toString()) : -1;
        if (k < 0)
            return fail(where, QStringLiteral("%1 is not a modifier; the modifiers are \"One "
                                              "lead\", \"Staggered\", \"Step\" and \"Alternate\".")
                                   .arg(typeName(list[i], where)));
        if (fields.modifiers[k])
            return fail(where, QStringLiteral("%1 is given twice.").arg(typeName(list[i], where)));
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
                              .arg(typeName(value, path),
                                   value.isString() ? QStringLiteral("; write it without quotes")
                                                    : QString()));
    out = given(value, path);
    return true;
}

bool JsonReader::string(const QJsonValue &value, const QString &path, std::optional<QString> &out)
{
    if (value.isUndefined())
        return true;
    if (!value.isString())
        return fail(path, QStringLiteral("%1 is not a text in quotes.").arg(typeName(value, path)));
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
        return fail(path, QStringLiteral("%1 is not a number of feet.").arg(typeName(value, path)));
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
    // A table text is a JSON object. What else a text begins with says why
    // it is none: true of texts sent here by --format json too.
    const QByteArrayView start = withoutLeadingBlanks(text);
    if (start.startsWith("//") || start.startsWith("/*"))
        return refused(notTableText(QStringLiteral("it begins with a comment, which JSON does not "
                                                   "allow")));
    QJsonParseError error;
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromRawData(text.data(), text.size()), &error);
    const bool parsed = error.error == QJsonParseError::NoError;
    if (start.startsWith('[')) // "[Vic] is best" is prose, not a list
        return parsed ? refused(notTableText(QStringLiteral("it is a JSON array, but a table "
                                                            "text is a JSON object, in { }")))
                      : refused(beginsAsNeitherForm(QString::fromUtf8(text)), false);
    if (!parsed)
        return refused(QStringLiteral("%1: this is not valid JSON (%2).")
                           .arg(lineAndColumn(text, error.offset), error.errorString()));
    Q_ASSERT(document.isObject()); // what parses and is no list
    return JsonReader(document.object(), scanRaw(text)).read();
}

} // namespace tabletext

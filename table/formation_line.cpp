#include "formation_line.h"

#include "cell_text.h"
#include "formation_table.h"

namespace
{

qint32 readLittleEndian32(const QByteArray &bytes, int at)
{
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<quint8>(bytes[at + i]);
    return static_cast<qint32>(value); // two's complement
}

void writeLittleEndian32(QByteArray &bytes, int at, qint32 signedValue)
{
    auto value = static_cast<quint32>(signedValue);
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<char>(value & 0xFF);
        value >>= 8;
    }
}

} // namespace

quint8 FormationLine::makeTypeCode(int typeIndex, const bool (&modifiers)[ModifierCount])
{
    Q_ASSERT(typeIndex >= 0 && typeIndex < 16);
    int code = typeIndex;
    for (int k = 0; k < ModifierCount; ++k)
        if (modifiers[k])
            code += 16 << k;
    return static_cast<quint8>(code);
}

FormationLine FormationLine::fromBytes(const QByteArray &bytes)
{
    Q_ASSERT(bytes.size() == Size);
    FormationLine line;
    line.byte0 = static_cast<quint8>(bytes[0]);
    line.typeCode = static_cast<quint8>(bytes[1]);
    line.count = static_cast<quint8>(bytes[2]);
    line.byte3 = static_cast<quint8>(bytes[3]);
    line.xOffset = readLittleEndian32(bytes, 4);
    line.yOffset = readLittleEndian32(bytes, 8);
    line.zOffset = readLittleEndian32(bytes, 12);
    return line;
}

QByteArray FormationLine::toBytes() const
{
    QByteArray bytes(Size, '\0');
    bytes[0] = static_cast<char>(byte0);
    bytes[1] = static_cast<char>(typeCode);
    bytes[2] = static_cast<char>(count);
    bytes[3] = static_cast<char>(byte3);
    writeLittleEndian32(bytes, 4, xOffset);
    writeLittleEndian32(bytes, 8, yOffset);
    writeLittleEndian32(bytes, 12, zOffset);
    return bytes;
}

FormationLine readLine(const FormationTable &table, int row)
{
    QByteArray bytes(FormationLine::Size, '\0');
    for (int c = 1; c <= FormationLine::Size; ++c) {
        const auto value = cellTextToByte(table.TextMatrix(row, c));
        Q_ASSERT_X(value.has_value(), "readLine", "cell is not hex");
        bytes[c - 1] = static_cast<char>(value.value_or(0));
    }
    return FormationLine::fromBytes(bytes);
}

void writeLine(FormationTable &table, int row, const FormationLine &line)
{
    const QByteArray bytes = line.toBytes();
    for (int c = 1; c <= FormationLine::Size; ++c) {
        if (c == 1 || c == 4)
            continue; // byte0 and byte3 belong to the game, not the editor
        table.setTextMatrix(row, c, byteToCellText(static_cast<quint8>(bytes[c - 1])));
    }
}

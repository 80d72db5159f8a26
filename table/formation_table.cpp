#include "formation_table.h"

#include "cell_text.h"

FormationTable::FormationTable() : m_cells(m_rows * m_cols) {}

void FormationTable::setRows(int rows)
{
    Q_ASSERT(rows >= 1);
    m_rows = rows;
    m_cells.resize(qsizetype(m_rows) * m_cols);
}

int FormationTable::index(int row, int col) const
{
    Q_ASSERT(row >= 0 && row < m_rows && col >= 0 && col < m_cols);
    return row * m_cols + col;
}

QString FormationTable::TextMatrix(int row, int col) const
{
    return m_cells[index(row, col)];
}

void FormationTable::setTextMatrix(int row, int col, const QString &text)
{
    m_cells[index(row, col)] = text;
}

void FormationTable::prepare()
{
    setRows(DataRows + 1);
    for (int r = 1; r < Rows(); ++r)
        for (int c = 1; c <= DataCols; ++c)
            setTextMatrix(r, c, QStringLiteral("00"));
}

QByteArray FormationTable::toBytes() const
{
    Q_ASSERT(Rows() == DataRows + 1 && Cols() == DataCols + 1);
    QByteArray bytes;
    bytes.reserve(ByteCount);
    for (int r = 1; r < Rows(); ++r) {
        for (int c = 1; c < Cols(); ++c) {
            const auto value = cellTextToByte(TextMatrix(r, c));
            Q_ASSERT_X(value.has_value(), "FormationTable::toBytes", "cell is not hex");
            bytes.append(static_cast<char>(value.value_or(0)));
        }
    }
    return bytes;
}

void FormationTable::setBytes(const QByteArray &bytes)
{
    Q_ASSERT(bytes.size() == ByteCount);
    Q_ASSERT(Rows() == DataRows + 1 && Cols() == DataCols + 1);
    int i = 0;
    for (int r = 1; r < Rows(); ++r)
        for (int c = 1; c < Cols(); ++c)
            setTextMatrix(r, c, byteToCellText(static_cast<quint8>(bytes[i++])));
}

QByteArray FormationTable::formationBytes(int formation) const
{
    Q_ASSERT(formation >= 0 && formation < FormationCount);
    QByteArray bytes;
    bytes.reserve(FormationBytes);
    for (int r = rowOfLine(formation, 1); r <= rowOfLine(formation, LinesPerFormation); ++r) {
        for (int c = 1; c <= DataCols; ++c) {
            const auto value = cellTextToByte(TextMatrix(r, c));
            Q_ASSERT_X(value.has_value(), "FormationTable::formationBytes", "cell is not hex");
            bytes.append(static_cast<char>(value.value_or(0)));
        }
    }
    return bytes;
}

void FormationTable::setFormationBytes(int formation, const QByteArray &bytes)
{
    Q_ASSERT(formation >= 0 && formation < FormationCount && bytes.size() == FormationBytes);
    int i = 0;
    for (int r = rowOfLine(formation, 1); r <= rowOfLine(formation, LinesPerFormation); ++r)
        for (int c = 1; c <= DataCols; ++c)
            setTextMatrix(r, c, byteToCellText(static_cast<quint8>(bytes[i++])));
}

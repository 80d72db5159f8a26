#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The formation table store: a matrix of cell texts addressed like the grid it
// replaces. Row 0 and column 0 are fixed and hold no data; rows 1..93 and
// columns 1..16 hold the 1,488 table bytes, one two-digit hex text per cell,
// row-major: cell (r, c) is table byte 16 * (r - 1) + (c - 1).
class FormationTable
{
public:
    static constexpr int DataRows = 93;
    static constexpr int DataCols = 16;
    static constexpr int ByteCount = DataRows * DataCols; // 1,488
    static constexpr int LinesPerFormation = 3;
    static constexpr int FormationCount = DataRows / LinesPerFormation; // 31

    FormationTable();

    int Rows() const { return m_rows; }
    int Cols() const { return m_cols; }
    void setRows(int rows);

    QString TextMatrix(int row, int col) const;
    void setTextMatrix(int row, int col, const QString &text);

    // Rows = 94 and "00" in every data cell.
    void prepare();

    // The 1,488 data cells as bytes, row-major. Every data cell must hold a
    // hex text (the store's writers keep it so).
    QByteArray toBytes() const;
    // Replaces every data cell from exactly 1,488 bytes.
    void setBytes(const QByteArray &bytes);
    // The 48 bytes of formation f (0..30), its three lines, and back.
    static constexpr int FormationBytes = LinesPerFormation * DataCols;
    QByteArray formationBytes(int formation) const;
    void setFormationBytes(int formation, const QByteArray &bytes);

    // The grid position of table byte i, and back.
    static int rowOfByte(int byteIndex) { return byteIndex / DataCols + 1; }
    static int colOfByte(int byteIndex) { return byteIndex % DataCols + 1; }
    static int byteOfCell(int row, int col) { return DataCols * (row - 1) + (col - 1); }
    // Line l (1..3) of formation f (0..30).
    static int rowOfLine(int formation, int line) { return LinesPerFormation * formation + line; }

private:
    int index(int row, int col) const;

    int m_rows = 1;
    int m_cols = DataCols + 1;
    QList<QString> m_cells;
};

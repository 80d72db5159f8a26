#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

// Comma-separated values as RFC 4180 writes them: fields separated by
// commas, records ended by CR LF, a field in double quotes when it holds a
// comma, a quote or a line break, and a quote inside such a field doubled.
// Reading also takes records ended by LF or CR alone, and a semicolon or a
// tab as the separator, as spreadsheets save and copy in many locales.

struct CsvRecord {
    QStringList fields;
    int row = 0; // 1-based number of the record in the text
};

// Reads a text record by record, so that a faulty text is given up at its
// first fault and only what is read is held. Records whose fields are all
// empty (blank lines, or the empty rows a spreadsheet leaves) are passed
// over, though they count in the row numbers.
class CsvParser
{
public:
    explicit CsvParser(QStringView text, int maxFields = 1000, QChar separator = u',');

    // The next record; false at the end of the text or at a fault.
    bool next(CsvRecord &record);

    bool failed() const { return !m_error.isEmpty(); }
    int errorRow() const { return m_errorRow; } // 1-based record and field of the fault
    int errorField() const { return m_errorField; }
    QString error() const { return m_error; } // what is wrong there, in plain words
    // The record at fault, with the fields read before the fault.
    const CsvRecord &faultyRecord() const { return m_faulty; }

private:
    bool fail(const CsvRecord &record, const QString &error);

    QStringView m_text;
    qsizetype m_at = 0;
    int m_row = 0;
    int m_maxFields;
    QChar m_separator;
    int m_errorRow = 0;
    int m_errorField = 0;
    QString m_error;
    CsvRecord m_faulty;
};

// All the records of a short text; empty when it has a fault.
QList<CsvRecord> parseCsv(QStringView text);

// The separator of a text: the first comma, semicolon or tab of its first
// row that is not blank, outside quotes; a comma when there is none.
QChar csvSeparator(QStringView text);

// One record, quoted where needed, with its CR LF.
QString csvRecord(const QStringList &fields);

// A cell a spreadsheet would run as a formula (one that starts with "=",
// "+", "-" or "@" and is not a number, or with a tab or a carriage return)
// gets an apostrophe in front, so that a spreadsheet shows it as text; so
// does a cell that starts with an apostrophe, so that the guard reads back.
QString formulaGuarded(const QString &cell);
// The cell that formulaGuarded was given.
QString formulaUnguarded(const QString &cell);

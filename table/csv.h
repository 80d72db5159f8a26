#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

// Comma-separated values as RFC 4180 writes them: fields separated by
// commas, records ended by CR LF, a field in double quotes when it holds a
// comma, a quote or a line break, and a quote inside such a field doubled.
// Reading also takes records ended by LF or CR alone.

struct CsvRecord {
    QStringList fields;
    int row = 0; // 1-based number of the record in the text
};

struct CsvParse {
    bool ok = false;
    QList<CsvRecord> records; // when not ok, the records before the faulty one
    int errorRow = 0;         // 1-based record and field of the fault
    int errorField = 0;
    QString error; // what is wrong there, in plain words
};

CsvParse parseCsv(QStringView text);

// One record, quoted where needed, with its CR LF.
QString csvRecord(const QStringList &fields);

#pragma once

#include <QString>
#include <QStringList>

// Formation names come from readorder.txt, one line per formation in
// formation order. Lines end at CR, CR LF or LF; only the first 31 are used.
struct FormationNames {
    static constexpr int Count = 32; // element 31 is never filled

    enum class Status { Complete, Missing, Unreadable, Short };

    QStringList names = QStringList(Count); // every name empty until read
    Status status = Status::Missing;
    int linesRead = 0;
    QString problem; // why the names are incomplete, for the user; empty when complete
};

// Splits text into lines ending at CR, CR LF or LF. A final line without an
// end is still a line; nothing after the last line end is not.
QStringList splitNameLines(const QString &text, int maxLines);

// Names are plain 8-bit text: UTF-8 when the bytes are valid UTF-8, Latin-1 otherwise.
QString decodeNameText(const QByteArray &bytes);

FormationNames readFormationNames(const QString &path);

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

// Formation names come from readorder.txt, one line per formation in
// formation order. Lines end at CR, CR LF or LF; only the first 31 are used.
// Only what those lines need is read: each name is cut after 4,096 bytes,
// and no more than the first 64 MiB of the file are looked at.
struct FormationNames {
    static constexpr int Count = 32; // element 31 is never filled
    static constexpr int LinesUsed = Count - 1;
    static constexpr int MaxNameBytes = 4096;
    static constexpr qint64 MaxBytesRead = qint64(64) << 20;

    enum class Status { Complete, Missing, Unreadable, Short };

    QStringList names = QStringList(Count); // every name empty until read
    Status status = Status::Missing;
    int linesRead = 0;
    int namesCut = 0; // names longer than MaxNameBytes, cut there
    QString problem;  // what the user should know about the names; empty when nothing
};

// Splits the bytes of a names file into names as the bytes arrive, keeping
// at most `maxLineBytes` of each line and stopping after `maxLines` lines.
class NameLineReader
{
public:
    explicit NameLineReader(int maxLines = FormationNames::LinesUsed,
                            int maxLineBytes = FormationNames::MaxNameBytes);
    // Takes the next bytes of the file; false once every wanted line is read.
    bool feed(QByteArrayView bytes);
    // The file ends here: a last line without a line end still counts.
    void finish();

    bool done() const { return m_lines.size() == m_maxLines; }
    const QStringList &lines() const { return m_lines; }
    int cutLines() const { return m_cutLines; }

private:
    void endLine();

    int m_maxLines;
    int m_maxLineBytes;
    QStringList m_lines;
    QByteArray m_line;
    bool m_lineCut = false;
    bool m_afterCr = false; // an LF right after a CR belongs to that line end
    int m_cutLines = 0;
};

// All the lines of `bytes` that the reader above takes.
QStringList splitNameLines(QByteArrayView bytes, int maxLines = FormationNames::LinesUsed);

// A name is UTF-8 when its bytes are valid UTF-8, Latin-1 otherwise; each
// line is decided on its own. A line that was cut may end in part of a
// UTF-8 character, which is dropped.
QString decodeNameLine(QByteArrayView bytes, bool cut = false);

FormationNames readFormationNames(const QString &path);

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

// Formation names come from readorder.txt, one line per formation in
// formation order. Lines end at CR, CR LF or LF; only the first 31 are used.
// Only what those lines need is read: each name is cut after 4,096 bytes of
// the file, and no more than the first 64 MiB of the file are looked at.
//
// A byte-order mark at the start decides how the whole file is written:
// UTF-8, UTF-16 little-endian or UTF-16 big-endian (as Notepad saves
// "Unicode"). Without one, each line is UTF-8 when it is valid UTF-8 and
// Windows-1252 (Notepad's "ANSI" in western Europe) otherwise.
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
    enum class Encoding { Undecided, PerLine, Utf8, Utf16LE, Utf16BE };

    bool decide(bool atEnd);
    bool consume(QByteArrayView bytes);
    void take(uint code, const char *bytes, int count);
    void endLine();

    int m_maxLines;
    int m_maxLineBytes;
    Encoding m_encoding = Encoding::Undecided;
    QByteArray m_head;  // the first bytes, until they tell the encoding
    int m_oddByte = -1; // UTF-16: the first byte of a unit whose second is still to come
    QStringList m_lines;
    QByteArray m_line; // the line's bytes as in the file
    bool m_lineCut = false;
    bool m_halfUnit = false; // UTF-16: the file ends in the middle of a unit
    bool m_afterCr = false;  // an LF right after a CR belongs to that line end
    int m_cutLines = 0;
};

// All the lines of `bytes` that the reader above takes.
QStringList splitNameLines(QByteArrayView bytes, int maxLines = FormationNames::LinesUsed);

// A line of a file without a byte-order mark: UTF-8 when its bytes are
// valid UTF-8, Windows-1252 otherwise. A line that was cut may end in part
// of a UTF-8 character, which is dropped.
QString decodeNameLine(QByteArrayView bytes, bool cut = false);

// Windows-1252: Latin-1 with printable characters at 0x80-0x9F ("\x80" is
// the euro sign); the five codes it leaves unused stay as Latin-1 has them.
QString fromWindows1252(QByteArrayView bytes);

FormationNames readFormationNames(const QString &path);

// The names file for a table read from `tableFile`: readorder.txt beside
// that file when anything has that name there (the game's folder), else
// readorder.txt in `workingFolder`, which is also the one with no table
// file (empty). The window and the command line both take their names
// from here.
QString namesFileFor(const QString &tableFile, const QString &workingFolder);
// The first place namesFileFor looks: readorder.txt in the folder of
// `tableFile` (not empty), whether or not it is there.
QString namesFileBeside(const QString &tableFile);

// The document without a window: loading, edits through the history, the
// comparison with the table as last loaded or saved, and saving.
#include "form_document.h"

#include <QFile>
#include <QList>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

namespace
{
constexpr int TableBytes = FormationTable::ByteCount;
constexpr int FormationBytes = FormationTable::FormationBytes;

// Bytes that differ from one place to the next, so that a table read or
// written one byte off shows.
QByteArray pattern(int size, int seed)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + seed * 31 + i / 256) & 0xff);
    return bytes;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class FormDocumentTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void load_data();
    void load();
    void failedLoadChangesNothing_data();
    void failedLoadChangesNothing();
    void editUndoRedo_data();
    void editUndoRedo();
    void sameBytesAreNoStep();
    void severalFormationsAreOneStep_data();
    void severalFormationsAreOneStep();
    void changedBackIsNoChange();
    void saveToAnotherFile();
    void saveBackAtItsByte();
    void failedSaveKeepsReference();
    void zerosBeforeAnyLoad();
    void placeBackSays_data();
    void placeBackSays();
    void loadForgetsTheFileSavedTo();

private:
    QString writeFile(const QString &name, const QByteArray &bytes);
    std::unique_ptr<QTemporaryDir> m_dir;
};

void FormDocumentTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

QString FormDocumentTest::writeFile(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void FormDocumentTest::load_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("typed");
    QTest::addColumn<int>("expectedStart");
    QTest::newRow("a table alone") << TableBytes << "0" << false << 0;
    QTest::newRow("at a typed start") << 2000 << "100" << true << 100;
    QTest::newRow("at a start left as it was") << 1600 << "112" << false << 112;
}

void FormDocumentTest::load()
{
    QFETCH(int, size);
    QFETCH(QString, start);
    QFETCH(bool, typed);
    QFETCH(int, expectedStart);
    const QByteArray data = pattern(size, 1);
    const QString path = writeFile(QStringLiteral("frmation.dat"), data);

    FormDocument document;
    // Something to be replaced: a step, and a table that differs.
    QVERIFY(document.changeFormation(2, pattern(FormationBytes, 9), QStringLiteral("edit")));
    QSignalSpy replaced(&document, &FormDocument::referenceChanged);

    const LoadResult result = document.load(path, start, typed ? StartGiven::Yes : StartGiven::No);
    QVERIFY2(result.ok, qPrintable(result.error));
    const QByteArray expected = data.mid(expectedStart, TableBytes);
    QCOMPARE(document.table().toBytes(), expected);
    QCOMPARE(document.startLocation(), expectedStart);
    QCOMPARE(document.currentByte(), quint8(expected.back()));
    QCOMPARE(document.loadedPath(), path);
    QCOMPARE(document.savePath(), path);
    QCOMPARE(document.history().count(), 0);
    QVERIFY(!document.hasUnsavedChanges());
    QVERIFY(!document.referenceIsSave());
    QCOMPARE(replaced.count(), 1);
    for (int n = 0; n < FormationTable::FormationCount; ++n)
        QVERIFY(!document.differsFromReference(n));
}

void FormDocumentTest::failedLoadChangesNothing_data()
{
    QTest::addColumn<int>("size"); // -1: no such file
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("fitsFromFirstByte");
    QTest::newRow("no such file") << -1 << "0" << false;
    QTest::newRow("too short") << 1000 << "0" << false;
    QTest::newRow("too short at the start") << 1600 << "300" << true;
    QTest::newRow("start not a number") << TableBytes << "-5" << false;
}

void FormDocumentTest::failedLoadChangesNothing()
{
    QFETCH(int, size);
    QFETCH(QString, start);
    QFETCH(bool, fitsFromFirstByte);
    const QString good = writeFile(QStringLiteral("good.dat"), pattern(2000, 2));
    const QString bad = size < 0 ? m_dir->filePath(QStringLiteral("missing.dat"))
                                 : writeFile(QStringLiteral("bad.dat"), pattern(size, 3));

    FormDocument document;
    QVERIFY(document.load(good, QStringLiteral("40"), StartGiven::Yes).ok);
    const QByteArray edited = pattern(FormationBytes, 4);
    QVERIFY(document.changeFormation(7, edited, QStringLiteral("edit of formation 7")));
    const QByteArray before = document.table().toBytes();
    QSignalSpy replaced(&document, &FormDocument::referenceChanged);
    QSignalSpy history(&document, &FormDocument::historyChanged);

    const LoadResult result = document.load(bad, start, StartGiven::Yes);
    QVERIFY(!result.ok);
    QVERIFY(!result.error.isEmpty());
    QCOMPARE(result.fitsFromFirstByte, fitsFromFirstByte);
    QCOMPARE(document.table().toBytes(), before);
    QCOMPARE(document.startLocation(), 40);
    QCOMPARE(document.loadedPath(), good);
    QCOMPARE(document.savePath(), good);
    QCOMPARE(document.history().count(), 1);
    QVERIFY(document.hasUnsavedChanges());
    QVERIFY(document.differsFromReference(7));
    QCOMPARE(replaced.count(), 0);
    QCOMPARE(history.count(), 0);
}

void FormDocumentTest::editUndoRedo_data()
{
    QTest::addColumn<int>("formation");
    QTest::newRow("first") << 0;
    QTest::newRow("middle") << 15;
    QTest::newRow("last") << FormationTable::FormationCount - 1;
}

void FormDocumentTest::editUndoRedo()
{
    QFETCH(int, formation);
    const QByteArray data = pattern(TableBytes, 5);
    FormDocument document;
    QVERIFY(document
                .load(writeFile(QStringLiteral("frmation.dat"), data), QStringLiteral("0"),
                      StartGiven::No)
                .ok);
    const QByteArray loaded = data.mid(formation * FormationBytes, FormationBytes);
    QCOMPARE(document.referenceFormation(formation), loaded);
    QSignalSpy put(&document, &FormDocument::formationPut);

    const QByteArray after = pattern(FormationBytes, 6);
    QVERIFY(document.changeFormation(formation, after, QStringLiteral("paste")));
    QCOMPARE(document.table().formationBytes(formation), after);
    QCOMPARE(document.history().undoText(), QStringLiteral("paste"));
    QCOMPARE(put.count(), 1);
    QCOMPARE(put.takeFirst().at(0).toInt(), formation);
    QVERIFY(document.hasUnsavedChanges());
    for (int n = 0; n < FormationTable::FormationCount; ++n)
        QCOMPARE(document.differsFromReference(n), n == formation);
    // Only that formation's bytes changed.
    QByteArray expected = data;
    expected.replace(formation * FormationBytes, FormationBytes, after);
    QCOMPARE(document.table().toBytes(), expected);

    document.history().undo();
    QCOMPARE(document.table().toBytes(), data);
    QCOMPARE(put.takeFirst().at(0).toInt(), formation);
    QVERIFY(!document.hasUnsavedChanges());
    QVERIFY(!document.differsFromReference(formation));

    document.history().redo();
    QCOMPARE(document.table().toBytes(), expected);
    QCOMPARE(put.takeFirst().at(0).toInt(), formation);
    QVERIFY(document.differsFromReference(formation));
}

void FormDocumentTest::sameBytesAreNoStep()
{
    FormDocument document;
    QSignalSpy put(&document, &FormDocument::formationPut);
    QVERIFY(!document.changeFormation(3, document.table().formationBytes(3), QStringLiteral("x")));
    QCOMPARE(document.history().count(), 0);
    QCOMPARE(put.count(), 0);
}

void FormDocumentTest::severalFormationsAreOneStep_data()
{
    QTest::addColumn<QList<int>>("changed");
    QTest::newRow("none") << QList<int>{};
    QTest::newRow("three apart") << QList<int>{2, 5, 17};
}

void FormDocumentTest::severalFormationsAreOneStep()
{
    QFETCH(QList<int>, changed);
    FormDocument document;
    QVERIFY(document
                .load(writeFile(QStringLiteral("frmation.dat"), pattern(TableBytes, 3)),
                      QStringLiteral("0"), StartGiven::No)
                .ok);
    const QByteArray before = document.table().toBytes();
    QByteArray after = before;
    for (const int formation : changed)
        after.replace(formation * FormationBytes, FormationBytes,
                      pattern(FormationBytes, formation));
    QSignalSpy put(&document, &FormDocument::formationPut);

    QCOMPARE(document.changeFormations(after, QStringLiteral("take")), changed.size());
    QCOMPARE(document.table().toBytes(), after);
    if (changed.isEmpty()) { // the same table is no step and puts nothing
        QCOMPARE(document.history().count(), 0);
        QCOMPARE(put.count(), 0);
        return;
    }
    QCOMPARE(document.history().count(), 1);
    QCOMPARE(document.history().undoText(), QStringLiteral("take"));
    // Each changed formation is put once, the lowest last, so that it is shown.
    const auto puts = [&put] {
        QList<int> formations;
        for (const QList<QVariant> &signal : std::as_const(put))
            formations << signal.at(0).toInt();
        std::sort(formations.begin(), formations.end() - 1);
        put.clear();
        return formations;
    };
    QList<int> lowestLast = changed.mid(1);
    lowestLast << changed.first();
    QCOMPARE(puts(), lowestLast);
    for (int n = 0; n < FormationTable::FormationCount; ++n)
        QCOMPARE(document.differsFromReference(n), changed.contains(n));

    document.history().undo();
    QCOMPARE(document.table().toBytes(), before);
    QCOMPARE(puts(), lowestLast);
    QVERIFY(!document.hasUnsavedChanges());
}

void FormDocumentTest::changedBackIsNoChange()
{
    // Unsaved changes are told by the bytes, not by the history.
    FormDocument document;
    const QByteArray start = document.table().formationBytes(4);
    QVERIFY(document.changeFormation(4, pattern(FormationBytes, 7), QStringLiteral("a")));
    QVERIFY(document.hasUnsavedChanges());
    QVERIFY(document.changeFormation(4, start, QStringLiteral("b")));
    QCOMPARE(document.history().count(), 2);
    QVERIFY(!document.hasUnsavedChanges());
    QVERIFY(!document.differsFromReference(4));
}

void FormDocumentTest::saveToAnotherFile()
{
    const QString source = writeFile(QStringLiteral("frmation.dat"), pattern(TableBytes, 8));
    FormDocument document;
    QVERIFY(document.load(source, QStringLiteral("0"), StartGiven::No).ok);
    QVERIFY(document.changeFormation(9, pattern(FormationBytes, 10), QStringLiteral("edit")));
    const QByteArray table = document.table().toBytes();
    QSignalSpy replaced(&document, &FormDocument::referenceChanged);

    const QString target = m_dir->filePath(QStringLiteral("other.dat"));
    const Placement placement = document.placement(target);
    QVERIFY(placement.refusal.isEmpty());
    QCOMPARE(placement.places.size(), 1);
    QCOMPARE(placement.places.first().offset, 0);
    const SaveOutcome outcome = document.save(target, placement.places.first(), {}, {},
                                              [](const SaveOutcome &) { return true; });
    QVERIFY2(outcome.tableInFile(), qPrintable(outcome.message));
    QCOMPARE(readAll(target), table);
    QCOMPARE(readAll(source), pattern(TableBytes, 8)); // the loaded file is left alone
    QCOMPARE(document.savePath(), target);
    QCOMPARE(document.loadedPath(), source);
    QVERIFY(document.referenceIsSave());
    QVERIFY(!document.hasUnsavedChanges());
    QVERIFY(!document.differsFromReference(9));
    QCOMPARE(replaced.count(), 1);
    // The history stays: an undo goes back before the save, which is then a change.
    QCOMPARE(document.history().count(), 1);
    document.history().undo();
    QVERIFY(document.differsFromReference(9));
}

void FormDocumentTest::saveBackAtItsByte()
{
    const QByteArray data = pattern(2000, 11);
    const QString path = writeFile(QStringLiteral("frmation.dat"), data);
    FormDocument document;
    QVERIFY(document.load(path, QStringLiteral("100"), StartGiven::Yes).ok);
    const QByteArray edited = pattern(FormationBytes, 12);
    QVERIFY(document.changeFormation(30, edited, QStringLiteral("edit")));

    // Back into the file it came from: at its byte, or at the first one.
    const Placement placement = document.placement(path);
    QVERIFY(placement.refusal.isEmpty());
    const auto place = std::find_if(placement.places.cbegin(), placement.places.cend(),
                                    [](const TablePlace &p) { return p.offset == 100; });
    QVERIFY(place != placement.places.cend());
    int asked = 0;
    const SaveOutcome outcome = document.save(path, *place, {}, {}, [&asked](const SaveOutcome &) {
        ++asked;
        return true;
    });
    QVERIFY2(outcome.tableInFile(), qPrintable(outcome.message));
    QCOMPARE(asked, 0); // nothing changed the file since it was loaded

    QByteArray expected = data;
    expected.replace(100 + 30 * FormationBytes, FormationBytes, edited);
    QCOMPARE(readAll(path), expected);
    QCOMPARE(document.savePath(), path);
    QVERIFY(!document.hasUnsavedChanges());
}

void FormDocumentTest::failedSaveKeepsReference()
{
    const QString source = writeFile(QStringLiteral("frmation.dat"), pattern(TableBytes, 13));
    FormDocument document;
    QVERIFY(document.load(source, QStringLiteral("0"), StartGiven::No).ok);
    QVERIFY(document.changeFormation(1, pattern(FormationBytes, 14), QStringLiteral("edit")));
    QSignalSpy replaced(&document, &FormDocument::referenceChanged);

    const QString target = m_dir->filePath(QStringLiteral("no such folder/other.dat"));
    TablePlace place;
    const SaveOutcome outcome =
        document.save(target, place, {}, {}, [](const SaveOutcome &) { return true; });
    QVERIFY(!outcome.tableInFile());
    QVERIFY(!outcome.message.isEmpty());
    QVERIFY(!QFile::exists(target));
    QCOMPARE(document.savePath(), source);
    QVERIFY(!document.referenceIsSave());
    QVERIFY(document.hasUnsavedChanges());
    QVERIFY(document.differsFromReference(1));
    QCOMPARE(replaced.count(), 0);
}

void FormDocumentTest::zerosBeforeAnyLoad()
{
    const QString existing = writeFile(QStringLiteral("frmation.dat"), pattern(TableBytes, 15));
    FormDocument document;
    QVERIFY(document.wouldWriteZerosOver(existing));
    QVERIFY(!document.wouldWriteZerosOver(m_dir->filePath(QStringLiteral("new.dat"))));
    // Edited, it is no longer start-up's zeros.
    QVERIFY(document.changeFormation(0, pattern(FormationBytes, 16), QStringLiteral("edit")));
    QVERIFY(!document.wouldWriteZerosOver(existing));
    // Zeros that were loaded are the user's table.
    const QString zeros = writeFile(QStringLiteral("zeros.dat"), QByteArray(TableBytes, '\0'));
    QVERIFY(document.load(zeros, QStringLiteral("0"), StartGiven::No).ok);
    QCOMPARE(document.table().toBytes(), QByteArray(TableBytes, '\0'));
    QVERIFY(!document.wouldWriteZerosOver(existing));
}

void FormDocumentTest::placeBackSays_data()
{
    QTest::addColumn<bool>("savedBack");   // into the file it came from, at its byte
    QTest::addColumn<bool>("loadedAgain"); // from that file, after the save
    QTest::addColumn<QString>("came");
    QTest::newRow("saved to another file") << false << false << QStringLiteral("loaded from");
    QTest::newRow("saved back") << true << false << QStringLiteral("last saved to");
    QTest::newRow("loaded again after saving back")
        << true << true << QStringLiteral("loaded from");
}

// The place at the table's byte in the file it came from says whether the
// table was loaded from there or last saved there.
void FormDocumentTest::placeBackSays()
{
    QFETCH(bool, savedBack);
    QFETCH(bool, loadedAgain);
    QFETCH(QString, came);
    const QString path = writeFile(QStringLiteral("frmation.dat"), pattern(2000, 17));
    const auto at100 = [](const Placement &placement) -> std::optional<TablePlace> {
        for (const TablePlace &place : placement.places)
            if (place.offset == 100)
                return place;
        return std::nullopt;
    };
    FormDocument document;
    QVERIFY(document.load(path, QStringLiteral("100"), StartGiven::Yes).ok);
    QVERIFY(document.changeFormation(5, pattern(FormationBytes, 18), QStringLiteral("edit")));
    const QString target = savedBack ? path : m_dir->filePath(QStringLiteral("other.dat"));
    const std::optional<TablePlace> place =
        savedBack ? at100(document.placement(path)) : document.placement(target).places.value(0);
    QVERIFY(place);
    const SaveOutcome outcome =
        document.save(target, *place, {}, {}, [](const SaveOutcome &) { return true; });
    QVERIFY2(outcome.tableInFile(), qPrintable(outcome.message));
    if (loadedAgain)
        QVERIFY(document.load(path, QStringLiteral("100"), StartGiven::Yes).ok);
    QCOMPARE(document.referenceIsSave(), !loadedAgain);

    const std::optional<TablePlace> back = at100(document.placement(path));
    QVERIFY(back);
    QCOMPARE(back->choice, QStringLiteral("Write it back at byte 100, where it was %1").arg(came));
}

// A load starts afresh: the file last saved to is no longer watched, so
// another program's change to it is no question when the table goes there.
void FormDocumentTest::loadForgetsTheFileSavedTo()
{
    const QString source = writeFile(QStringLiteral("frmation.dat"), pattern(TableBytes, 19));
    const QString other = m_dir->filePath(QStringLiteral("other.dat"));
    int asked = 0;
    const auto saveToOther = [&](FormDocument &document) {
        return document
            .save(other, document.placement(other).places.value(0), {}, {},
                  [&asked](const SaveOutcome &) {
                      ++asked;
                      return true;
                  })
            .tableInFile();
    };
    FormDocument document;
    QVERIFY(document.load(source, QStringLiteral("0"), StartGiven::No).ok);
    QVERIFY(document.changeFormation(2, pattern(FormationBytes, 20), QStringLiteral("edit")));
    QVERIFY(saveToOther(document));
    QVERIFY(document.load(source, QStringLiteral("0"), StartGiven::No).ok);
    writeFile(QStringLiteral("other.dat"), pattern(TableBytes, 21)); // another program's
    QVERIFY(document.changeFormation(3, pattern(FormationBytes, 22), QStringLiteral("edit")));
    QVERIFY(saveToOther(document));
    QCOMPARE(asked, 0);
    QCOMPARE(readAll(other), document.table().toBytes());
}

QTEST_GUILESS_MAIN(FormDocumentTest)
#include "tst_form_document.moc"

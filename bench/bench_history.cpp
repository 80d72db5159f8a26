// Times what the window does for undo, redo, paste, revert and "Apply" of
// "Scale and move", each against one frame (16 ms), and measures what a
// history of 10,000 steps costs.
//   bench_history            (runs on Qt's offscreen platform)
#include "biform.h"
#include "prompter.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <vector>

namespace
{

class SilentPrompter : public Prompter
{
public:
    void tell(QWidget *, const QString &text) override { told.append(text); }
    void inform(QWidget *, const QString &text) override { told.append(text); }
    bool confirm(QWidget *, const QString &, const QString &) override { return false; }
    int choose(QWidget *, const QString &, const QStringList &, int) override { return -1; }
    Choice askToSave(QWidget *, const QString &) override { return Choice::Cancel; }
    Choice askToWrite(QWidget *, const QString &) override { return Choice::Cancel; }
    QStringList told;
};

// Median and slowest of `runs` calls of `operation`, in milliseconds.
void timeIt(const char *name, int runs, const std::function<void(int)> &operation)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        operation(i);
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-8s median %.3f ms, slowest %.3f ms over %d runs (one frame: 16 ms)\n", name,
                ms[ms.size() / 2], ms.back(), runs);
}

size_t heapInUse()
{
    return mallinfo2().uordblks;
}

} // namespace

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    QTemporaryDir dir;
    QByteArray table(1488, '\0');
    for (int i = 0; i < table.size(); ++i)
        table[i] = static_cast<char>(i * 31 % 251);
    const QString path = dir.filePath(QStringLiteral("frmation.dat"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(table) != table.size())
        return 1;
    file.close();
    QDir::setCurrent(dir.path());

    SilentPrompter prompter;
    BiForm window(&prompter);
    window.show();
    window.loadFile(path);
    auto *count = window.findChild<QLineEdit *>(QStringLiteral("Text3(1)"));
    auto *edit = window.findChild<QPushButton *>(QStringLiteral("Command2"));
    window.findChild<QRadioButton *>(QStringLiteral("Option2(0)"))->click();
    prompter.told.clear(); // start-up's news of the names file, which the bench does not make

    // A history of 10,000 steps, each an "Edit this one" of a new count.
    const size_t before = heapInUse();
    QElapsedTimer editing;
    editing.start();
    constexpr int Steps = 10'000;
    for (int i = 0; i < Steps; ++i) {
        count->setText(QString::number(i % 2 ? 7 : 9));
        edit->click();
    }
    const double perEdit = double(editing.nsecsElapsed()) / 1e6 / Steps;
    const double grown = double(heapInUse() - before);
    std::printf("history of %d steps: %.2f MiB (%.0f bytes a step; limit 10 MiB), %.3f ms an "
                "edit\n",
                Steps, grown / (1 << 20), grown / Steps, perEdit);

    timeIt("undo", 1000, [&](int) { window.undo(); });
    timeIt("redo", 1000, [&](int) { window.redo(); });
    window.copyFormation(5);
    const QString fifth = QApplication::clipboard()->text();
    window.copyFormation(6);
    const QString sixth = QApplication::clipboard()->text();
    timeIt("paste", 1000, [&](int i) {
        QApplication::clipboard()->setText(i % 2 ? fifth : sixth);
        window.pasteOverFormation(9);
    });
    timeIt("revert", 1000, [&](int i) {
        if (i % 2)
            window.undo();
        else
            window.revertFormation(9);
    });
    // "Apply" of "Scale and move", from the click to the table written and
    // the picture drawn again, and the whole of it with the dialog's opening.
    std::vector<double> applying;
    timeIt("scale", 200, [&](int i) {
        QTimer::singleShot(0, [&, i] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            // A shift there and back: the table's offsets are near the record's ends.
            dialog->findChild<QLineEdit *>(QStringLiteral("XShift"))
                ->setText(i % 2 ? QStringLiteral("-10.5") : QStringLiteral("10.5"));
            QElapsedTimer timer;
            timer.start();
            dialog->findChild<QPushButton *>(QStringLiteral("Apply"))->click();
            QTimer::singleShot(
                0, [&applying, timer] { applying.push_back(double(timer.nsecsElapsed()) / 1e6); });
        });
        window.scaleAndMoveFormation(9);
        QCoreApplication::processEvents();
    });
    const double firstApply = applying.empty() ? 0 : applying.front();
    std::sort(applying.begin(), applying.end());
    if (applying.size() != 200) {
        std::printf("the scale dialog was applied %zu times of 200\n", applying.size());
        return 1;
    }
    std::printf("%-8s median %.3f ms, slowest %.3f ms over %zu runs (one frame: 16 ms); the "
                "first %.3f ms, the slowest of the others %.3f ms\n",
                "apply", applying[applying.size() / 2], applying.back(), applying.size(),
                firstApply,
                applying.back() == firstApply ? applying[applying.size() - 2] : applying.back());
    if (!prompter.told.isEmpty()) {
        std::printf("unexpected message: %s\n", qPrintable(prompter.told.first()));
        return 1;
    }
    return 0;
}

// Times what the window does for undo, redo, paste and revert, each against
// one frame (16 ms), and measures what a history of 10,000 steps costs.
//   bench_history            (runs on Qt's offscreen platform)
#include "biform.h"
#include "prompter.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
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
    if (!prompter.told.isEmpty()) {
        std::printf("unexpected message: %s\n", qPrintable(prompter.told.first()));
        return 1;
    }
    return 0;
}

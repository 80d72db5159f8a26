// Times the formation picture against one frame (16 ms): a redraw after a
// keystroke in the panel and after each step of a drag, over formations
// from all-zero to the extreme offsets; a picture with a ghost for every
// line and its numbered grid; and opening the picture window.
//   bench_picture            (runs on Qt's offscreen platform)
#include "biform.h"
#include "picture_painter.h"
#include "picture_window.h"
#include "prompter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QRadioButton>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace
{

class SilentPrompter : public Prompter
{
public:
    void tell(QWidget *, const QString &) override {}
    void inform(QWidget *, const QString &) override {}
    bool confirm(QWidget *, const QString &, const QString &) override { return false; }
    int choose(QWidget *, const QString &, const QStringList &, int) override { return -1; }
    Choice askToSave(QWidget *, const QString &) override { return Choice::Cancel; }
    Choice askToWrite(QWidget *, const QString &) override { return Choice::Cancel; }
};

double processMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Median and slowest of `runs` calls of `operation`, in milliseconds of
// the clock and of the processor's time for this program, which other
// programs on a busy machine do not stretch.
void timeIt(const char *name, int runs, const std::function<void(int)> &operation)
{
    std::vector<double> ms;
    std::vector<double> cpu;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        const double started = processMs();
        operation(i);
        cpu.push_back(processMs() - started);
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("%-26s median %.3f ms, slowest %.3f ms; processor time median %.3f ms, most "
                "%.3f ms; %d runs (one frame: 16 ms)\n",
                name, ms[ms.size() / 2], ms.back(), cpu[cpu.size() / 2], cpu.back(), runs);
}

// Every formation different: zeros, small, a factor of ten, equal lines,
// and the largest and smallest stored values.
QByteArray table()
{
    QByteArray bytes(1488, '\0');
    for (int f = 0; f < 31; ++f)
        for (int l = 0; l < 3; ++l) {
            FormationLine line;
            line.typeCode = quint8((f * 3 + l) % 16 | (f % 16) << 4);
            line.count = quint8((f * 7 + l) % 20);
            const qint32 values[] = {0,
                                     21 * 50 * (l + 1),
                                     21 * 500 * (l - 1),
                                     2100,
                                     std::numeric_limits<qint32>::max(),
                                     std::numeric_limits<qint32>::min()};
            line.xOffset = values[(f + l) % 6];
            line.yOffset = values[(f + 2 * l) % 6];
            line.zOffset = values[(f + 3 * l) % 6];
            bytes.replace(f * 48 + l * 16, 16, line.toBytes());
        }
    return bytes;
}

} // namespace

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("frmation.dat"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(table()) != 1488)
        return 1;
    file.close();
    QDir::setCurrent(dir.path());

    SilentPrompter prompter;
    BiForm window(&prompter);
    window.show();
    window.loadFile(path);
    auto choose = [&](int formation) {
        window.findChild<QRadioButton *>(QStringLiteral("Option2(%1)").arg(formation))->click();
    };
    choose(0);

    timeIt("open the picture window", 20, [&](int i) {
        choose(i % 31);
        window.showPicture();
        QImage first(window.pictureWindow()->size(), QImage::Format_ARGB32_Premultiplied);
        window.pictureWindow()->render(&first);
        if (i < 19) // the last one stays open for the runs below
            delete window.pictureWindow();
    });
    PictureWindow *picture = window.pictureWindow();
    // Each redraw paints the whole window, as a screen update would.
    QImage screen(picture->size(), QImage::Format_ARGB32_Premultiplied);
    auto redraw = [&] { picture->render(&screen); };

    auto *box = window.findChild<QLineEdit *>(QStringLiteral("Text3(7)"));
    timeIt("keystroke, then redraw", 31 * 20, [&](int i) {
        if (i % 20 == 0)
            choose(i / 20);
        box->setText(QString::number(i % 20 * 37 - 300));
        redraw();
    });
    // A drag step: the view's two offsets typed into the panel, as the
    // picture window asks for them, then the redraw.
    timeIt("drag step, then redraw", 31 * 20, [&](int i) {
        if (i % 20 == 0)
            choose(i / 20);
        emit picture->offsetMoved(i % 3, AxisX, 21 * (i % 20) * 13);
        emit picture->offsetMoved(i % 3, AxisZ, -21 * (i % 20) * 7);
        redraw();
    });
    // The two parts of a redraw on their own.
    timeIt("lay out the picture", 31 * 20, [&](int i) {
        choose(i % 31);
        layOutPicture(picture->content(), QSizeF(picture->size()));
    });
    timeIt("paint the picture", 31 * 20, [&](int i) {
        if (i % 20 == 0)
            choose(i / 20);
        QPainter painter(&screen);
        paintPicture(painter, picture->content(), picture->pictureLayout());
    });
    // Every line moved from where it was loaded: three ghosts in each view,
    // fitted in with the lines, and the ticks of their wider grid.
    auto ghosted = [&](int formation) {
        choose(formation);
        PictureContent content = picture->content();
        QByteArray reference;
        for (PictureLine &line : content.lines) {
            FormationLine before = line.line;
            before.xOffset = before.xOffset / 2 - 21 * 300;
            before.yOffset = -before.yOffset + 21 * 77;
            before.zOffset = before.zOffset / 3 + 21 * 1000;
            reference += before.toBytes();
        }
        setGhosts(content, reference);
        return content;
    };
    timeIt("ghosts and ticks: lay out, paint", 31 * 20, [&](int i) {
        const PictureContent content = ghosted(i % 31);
        QPainter painter(&screen);
        paintPicture(painter, content, layOutPicture(content, QSizeF(picture->size())));
    });
    // The same in the window: a keystroke after the line was written
    // elsewhere, so that its ghost is drawn, then the redraw.
    timeIt("keystroke with ghosts, redraw", 31 * 20, [&](int i) {
        if (i % 20 == 0)
            choose(i / 20);
        for (const int n : {2, 8, 14})
            window.findChild<QLineEdit *>(QStringLiteral("Text3(%1)").arg(n))
                ->setText(QString::number(i % 20 * 41 - 333 + n));
        redraw();
    });
    timeIt("choose a formation, redraw", 31 * 5, [&](int i) {
        choose(i % 31);
        redraw();
    });
    return 0;
}

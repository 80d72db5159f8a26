#include "picture_window.h"

#include "context_menu.h"
#include "message_text.h"
#include "output_file.h"
#include "picture_export.h"
#include "picture_painter.h"
#include "prompter.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <limits>

namespace
{

constexpr double MostFeet = 102261126; // the most whole feet a stored offset holds

// Feet as stored units: whole feet, or to the nearest 1/21 foot when exact.
qint32 storedFromFeet(double feet, bool exact)
{
    const double clamped = std::clamp(feet, -MostFeet, MostFeet);
    const double units = exact ? clamped * FormationLine::UnitsPerFoot
                               : std::round(clamped) * FormationLine::UnitsPerFoot;
    return qint32(std::llround(units));
}

qint32 addFeet(qint32 stored, int feet)
{
    const qint64 moved = qint64(stored) + qint64(feet) * FormationLine::UnitsPerFoot;
    return qint32(std::clamp<qint64>(moved, std::numeric_limits<qint32>::min(),
                                     std::numeric_limits<qint32>::max()));
}

} // namespace

WindowPlace pictureWindowPlace(const QRect &mainFrame, const QRect &screen, const QSize &wanted,
                               const QSize &least, const QMargins &frame)
{
    constexpr int Gap = 8;
    const int across = frame.left() + frame.right();
    const int down = frame.top() + frame.bottom();
    // The room on each side, for the window with its frame.
    const int right = screen.x() + screen.width() - (mainFrame.x() + mainFrame.width()) - Gap;
    const int below = screen.y() + screen.height() - (mainFrame.y() + mainFrame.height()) - Gap;
    const int left = mainFrame.x() - screen.x() - Gap;
    const int above = mainFrame.y() - screen.y() - Gap;
    auto fit = [](int wantedLength, int room, int leastLength) {
        return std::max(leastLength, std::min(wantedLength, room));
    };
    // Along the main window's side, kept on the screen where it fits.
    auto along = [](int start, int length, int low, int high) {
        return std::max(low, std::min(start, high - length));
    };
    const int tallest = fit(wanted.height(), screen.height() - down, least.height());
    const int widest = fit(wanted.width(), screen.width() - across, least.width());
    const int top = along(mainFrame.y(), tallest + down, screen.y(), screen.y() + screen.height());
    const int leftEdge =
        along(mainFrame.x(), widest + across, screen.x(), screen.x() + screen.width());
    if (right >= least.width() + across ||
        (left < least.width() + across && below < least.height() + down &&
         above < least.height() + down)) {
        const int width = fit(wanted.width(), right - across, least.width());
        return {QPoint(mainFrame.x() + mainFrame.width() + Gap, top), QSize(width, tallest)};
    }
    if (below >= least.height() + down) {
        const int height = fit(wanted.height(), below - down, least.height());
        return {QPoint(leftEdge, mainFrame.y() + mainFrame.height() + Gap), QSize(widest, height)};
    }
    if (left >= least.width() + across) {
        const int width = fit(wanted.width(), left - across, least.width());
        return {QPoint(mainFrame.x() - Gap - width - across, top), QSize(width, tallest)};
    }
    const int height = fit(wanted.height(), above - down, least.height());
    return {QPoint(leftEdge, mainFrame.y() - Gap - height - down), QSize(widest, height)};
}

PictureWindow::PictureWindow(Prompter *prompter, QWidget *parent)
    : QWidget(parent, Qt::Window), m_prompter(prompter)
{
    setObjectName(QStringLiteral("PictureWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setMinimumSize(600, 320);
    resize(960, 440);
    setFocusPolicy(Qt::NoFocus);
    for (int view = 0; view < ViewCount; ++view) {
        for (int line = 0; line < PictureContent::LineCount; ++line) {
            auto *marker = new QWidget(this);
            marker->setObjectName(
                QStringLiteral("Marker(%1,%2)").arg(viewName(view)).arg(line + 1));
            marker->setFocusPolicy(Qt::StrongFocus);
            marker->setCursor(Qt::OpenHandCursor);
            marker->resize(int(2 * MarkerRadius + 6), int(2 * MarkerRadius + 6));
            marker->installEventFilter(this);
            m_markers << marker;
        }
    }

    auto *copy = new QAction(QStringLiteral("Copy picture"), this);
    copy->setShortcut(QKeySequence::Copy);
    connect(copy, &QAction::triggered, this, &PictureWindow::copyPicture);
    auto *save = new QAction(QStringLiteral("Save picture..."), this);
    save->setShortcut(QKeySequence::Save);
    connect(save, &QAction::triggered, this, &PictureWindow::savePicture);
    auto *close = new QAction(QStringLiteral("Close"), this);
    close->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence::Close});
    connect(close, &QAction::triggered, this, &QWidget::close);
    m_keepAction = new QAction(QStringLiteral("Keep this scale"), this);
    m_keepAction->setCheckable(true);
    m_keepAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    connect(m_keepAction, &QAction::toggled, this, &PictureWindow::setKeepScale);
    for (QAction *action : {copy, save, m_keepAction, close}) {
        action->setShortcutVisibleInContextMenu(true);
        addAction(action);
    }
    m_menuKey = addMenuKey(this); // not one of the menu's items
    relayOut();
}

QWidget *PictureWindow::marker(int view, int line)
{
    ensureLayout();
    return m_markers[view * PictureContent::LineCount + line];
}

const PictureLayout &PictureWindow::pictureLayout()
{
    ensureLayout();
    return m_layout;
}

void PictureWindow::setKeepScale(bool keep)
{
    if (keep == keepsScale())
        return;
    if (keep) {
        ensureLayout();
        m_keptFit = fitOf(m_layout);
    } else {
        m_keptFit.reset();
    }
    m_keepAction->setChecked(keep);
    relayOut();
}

void PictureWindow::addHistoryActions(const QList<QAction *> &actions)
{
    addActions(actions);
    m_historyActions << actions;
}

void PictureWindow::setContent(const PictureContent &content)
{
    const bool same =
        content.formation == m_content.formation && content.name == m_content.name &&
        std::equal(std::begin(content.lines), std::end(content.lines), std::begin(m_content.lines),
                   [](const auto &a, const auto &b) {
                       return a.line == b.line && a.written == b.written && a.ghost == b.ghost;
                   });
    if (same && !windowTitle().isEmpty())
        return;
    m_content = content;
    m_notice.clear(); // it spoke of the picture as it was
    setWindowTitle(pictureTitle(m_content));
    relayOut();
}

void PictureWindow::relayOut()
{
    m_laidOut = false;
    update();
}

void PictureWindow::ensureLayout()
{
    if (m_laidOut)
        return;
    m_laidOut = true;
    m_layout = layOutPicture(m_content, QSizeF(size()),
                             m_keptFit ? *m_keptFit : m_dragFit.value_or(PictureFit{}));
    updateMarkers();
}

void PictureWindow::updateMarkers()
{
    const bool shown = m_content.formation >= 0;
    for (int view = 0; view < ViewCount; ++view) {
        for (int line = 0; line < PictureContent::LineCount; ++line) {
            QWidget *handle = m_markers[view * PictureContent::LineCount + line];
            const QPointF at = m_layout.views[view].markers[line];
            handle->move(QPoint(int(std::lround(at.x())), int(std::lround(at.y()))) -
                         handle->rect().center());
            // A marker out of its view (the window too small) cannot be reached.
            handle->setVisible(shown && m_layout.views[view].plot.contains(at));
            handle->setAccessibleName(lineDescription(m_content.lines[line], line + 1));
            handle->setAccessibleDescription(
                QStringLiteral("In the %1 view. Drag it, or move it with the arrow keys by one "
                               "foot, with Shift by ten.")
                    .arg(viewName(view)));
        }
    }
}

void PictureWindow::paintEvent(QPaintEvent *)
{
    ensureLayout();
    QPainter painter(this);
    paintPicture(painter, m_content, m_layout);
    // The focused marker, and what the last copy or save did: only in the window.
    for (int i = 0; i < m_markers.size(); ++i) {
        if (!m_markers[i]->hasFocus())
            continue;
        const QPointF at =
            m_layout.views[i / PictureContent::LineCount].markers[i % PictureContent::LineCount];
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(at, MarkerRadius + 4, MarkerRadius + 4);
    }
    if (!m_notice.isEmpty()) {
        painter.setFont(pictureFonts().text);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(m_layout.noteRect, Qt::AlignRight | Qt::AlignVCenter, m_notice);
    }
}

void PictureWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    relayOut();
}

void PictureWindow::contextMenuEvent(QContextMenuEvent *event)
{
    ContextMenu menu(this, QStringLiteral("PictureMenu"));
    for (QAction *action : actions()) {
        if (action == m_menuKey || m_historyActions.contains(action))
            continue;
        QAction *item = menu.addItemFor(action);
        item->setCheckable(action->isCheckable());
        item->setChecked(action->isChecked());
    }
    menu.exec(event->globalPos());
}

bool PictureWindow::eventFilter(QObject *watched, QEvent *event)
{
    const int index = int(m_markers.indexOf(qobject_cast<QWidget *>(watched)));
    if (index < 0)
        return QWidget::eventFilter(watched, event);
    ensureLayout();
    const int view = index / PictureContent::LineCount;
    const int line = index % PictureContent::LineCount;
    switch (event->type()) {
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        update();
        break;
    case QEvent::MouseButtonPress: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            break;
        m_drag = Drag{view, line, mapFromGlobal(mouse->globalPosition()), m_layout.pixelsPerFoot};
        m_dragFit = fitOf(m_layout);
        for (int axis = 0; axis < AxisCount; ++axis)
            m_drag.from[axis] = storedOffset(m_content.lines[line].line, Axis(axis));
        m_markers[index]->setFocus(Qt::MouseFocusReason);
        m_markers[index]->setCursor(Qt::ClosedHandCursor);
        return true;
    }
    case QEvent::MouseMove: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (m_drag.view != view || m_drag.line != line || !(mouse->buttons() & Qt::LeftButton))
            break;
        const QPointF delta = mapFromGlobal(mouse->globalPosition()) - m_drag.pressedAt;
        if (!m_drag.moving && delta.manhattanLength() < QApplication::startDragDistance())
            return true;
        m_drag.moving = true;
        const ViewAxes axes = PictureViews[view];
        moveTo(view, line, m_drag.from,
               m_drag.from[axes.horizontal] / double(FormationLine::UnitsPerFoot) +
                   delta.x() / m_drag.pixelsPerFoot,
               m_drag.from[axes.vertical] / double(FormationLine::UnitsPerFoot) -
                   delta.y() / m_drag.pixelsPerFoot,
               std::lround(delta.x()) != 0, std::lround(delta.y()) != 0,
               mouse->modifiers() & Qt::ControlModifier);
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            m_drag = Drag{};
            m_markers[index]->setCursor(Qt::OpenHandCursor);
            m_dragFit.reset();
            relayOut(); // fitted again, unless the scale is kept
        }
        return true;
    case QEvent::KeyPress: {
        const auto *key = static_cast<QKeyEvent *>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if (modifiers != Qt::NoModifier && modifiers != Qt::ShiftModifier)
            break;
        const int feet = modifiers == Qt::ShiftModifier ? 10 : 1;
        switch (key->key()) {
        case Qt::Key_Left:
            step(view, line, -feet, 0);
            return true;
        case Qt::Key_Right:
            step(view, line, feet, 0);
            return true;
        case Qt::Key_Up:
            step(view, line, 0, feet);
            return true;
        case Qt::Key_Down:
            step(view, line, 0, -feet);
            return true;
        default:
            break;
        }
        break;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void PictureWindow::moveTo(int view, int line, const qint32 (&from)[AxisCount],
                           double horizontalFeet, double verticalFeet, bool movedAcross,
                           bool movedUp, bool exact)
{
    const ViewAxes axes = PictureViews[view];
    const struct {
        Axis axis;
        double feet;
        bool moved;
    } targets[] = {{axes.horizontal, horizontalFeet, movedAcross},
                   {axes.vertical, verticalFeet, movedUp}};
    for (const auto &target : targets) {
        // An axis the pointer has not left keeps its value exactly.
        const qint32 stored = target.moved ? storedFromFeet(target.feet, exact) : from[target.axis];
        if (stored != storedOffset(m_content.lines[line].line, target.axis))
            emit offsetMoved(line, target.axis, stored);
    }
}

void PictureWindow::step(int view, int line, int across, int up)
{
    const ViewAxes axes = PictureViews[view];
    const FormationLine &shown = m_content.lines[line].line;
    if (across != 0)
        emit offsetMoved(line, axes.horizontal,
                         addFeet(storedOffset(shown, axes.horizontal), across));
    if (up != 0)
        emit offsetMoved(line, axes.vertical, addFeet(storedOffset(shown, axes.vertical), up));
}

QImage PictureWindow::image() const
{
    return pictureImage(m_content, size(), devicePixelRatioF(), m_keptFit.value_or(PictureFit{}));
}

void PictureWindow::copyPicture()
{
    if (m_content.formation < 0)
        return;
    QApplication::clipboard()->setImage(image());
    m_notice = QStringLiteral("Copied to the clipboard as an image.");
    update();
}

QString PictureWindow::askFile()
{
    if (m_askFile)
        return m_askFile();
    QFileDialog dialog(this, QStringLiteral("Save picture"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    const QString png = QStringLiteral("PNG image (*.png)");
    const QString svg = QStringLiteral("SVG drawing (*.svg)");
    dialog.setNameFilters(canWriteSvg() ? QStringList{png, svg} : QStringList{png});
    dialog.setDefaultSuffix(QStringLiteral("png"));
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString &filter) {
        dialog.setDefaultSuffix(filter == svg ? QStringLiteral("svg") : QStringLiteral("png"));
    });
    dialog.selectFile(QStringLiteral("formation-%1.png").arg(m_content.formation));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

void PictureWindow::savePicture()
{
    if (m_content.formation < 0)
        return;
    const QString path = askFile();
    if (!path.isEmpty())
        savePictureAs(path);
}

bool PictureWindow::savePictureAs(const QString &path)
{
    const QString shown = shownPath(path);
    QString refusal;
    const std::optional<PictureFormat> format = pictureFormatFor(path);
    const bool svg = format == PictureFormat::Svg;
    if (!format)
        refusal = QStringLiteral("a picture is saved as a .png or .svg file");
    else if (svg && !canWriteSvg())
        refusal = QStringLiteral("this build of the program saves PNG only");
    else
        refusal =
            unfitOutput(path, m_tableFiles,
                        {QStringLiteral("%1 is a program"),
                         QStringLiteral("%1 is the file the table was loaded from or saved to")});
    QString reason = refusal;
    if (reason.isEmpty()) {
        const QByteArray bytes =
            pictureBytes(m_content, size(), *format, m_keptFit.value_or(PictureFit{}));
        // Regular files only: a FIFO would hold the window until a reader came.
        reason = bytes.isEmpty() ? QStringLiteral("Qt could not draw it")
                                 : writeOutputFile(path, bytes, OutputKinds::RegularFiles);
    }
    if (!reason.isEmpty()) {
        m_prompter->tell(this, QStringLiteral("The picture was not saved: %1.").arg(reason));
        return false;
    }
    m_notice = QStringLiteral("Saved as %1.").arg(shown);
    update();
    return true;
}

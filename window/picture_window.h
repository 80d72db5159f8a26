#pragma once

#include "picture_content.h"
#include "picture_layout.h"

#include <QList>
#include <QWidget>
#include <functional>
#include <optional>

class Prompter;
class QAction;

// Where the picture window opens beside the main window, whose frame is
// `mainFrame`, on a screen whose free area is `screen`: to its right where
// there is room for at least `least`, else below it, else left of it, else
// above it; narrowed to the room there, never over the main window and its
// editing panel. Where no side has room, to its right all the same, past
// the screen's edge. `frame` is what the window's frame adds around it.
struct WindowPlace {
    QPoint framePosition; // for move()
    QSize size;           // for resize(): without the frame
};
WindowPlace pictureWindowPlace(const QRect &mainFrame, const QRect &screen, const QSize &wanted,
                               const QSize &least, const QMargins &frame);

// The window beside the main one that draws the formation the panel shows,
// from three sides, and lets its lines be moved: a marker dragged with the
// mouse, or focused with Tab and moved with the arrow keys, asks for new
// offsets through offsetMoved; the panel takes them as typed edits. Its
// context menu copies the picture or saves it as PNG or SVG, and keeps its
// scale while the lines change.
class PictureWindow : public QWidget
{
    Q_OBJECT
public:
    explicit PictureWindow(Prompter *prompter, QWidget *parent = nullptr);

    void setContent(const PictureContent &content);
    const PictureContent &content() const { return m_content; }
    const PictureLayout &pictureLayout();
    // The file the table was loaded from, which a picture never replaces.
    // The files the table was loaded from and saved to: never a picture's.
    void setTableFiles(const QStringList &files) { m_tableFiles = files; }
    // Asks for the name to save as; empty for cancel. Tests answer here.
    void setFileAsker(std::function<QString()> asker) { m_askFile = std::move(asker); }
    // What the window last said about a copy or save, drawn in its corner.
    QString notice() const { return m_notice; }

    QImage image() const; // the picture at the window's size, for this screen
    void copyPicture();
    void savePicture();
    bool savePictureAs(const QString &path); // true when written and read back

    // The marker widget of `line` (0..2) in `view` (0..2).
    QWidget *marker(int view, int line);

    // While kept, a change of the lines leaves the scale and the views'
    // middles as they were when it was turned on.
    void setKeepScale(bool keep);
    bool keepsScale() const { return m_keptFit.has_value(); }
    QAction *keepScaleAction() const { return m_keepAction; }
    // The main window's undo and redo, taken by their keys here too; they
    // are not items of this window's menu.
    void addHistoryActions(const QList<QAction *> &actions);

signals:
    // Line `line` (0..2) should have offset `axis` (AxisX...) `stored`.
    void offsetMoved(int line, int axis, qint32 stored);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The layout is made when it is needed, once for any number of changes.
    void relayOut();
    void ensureLayout();
    void updateMarkers();
    // Moves line `line` of view `view` to feet (h, v) from its offsets
    // `from` (stored units); an axis that did not move is left alone.
    void moveTo(int view, int line, const qint32 (&from)[AxisCount], double horizontalFeet,
                double verticalFeet, bool movedAcross, bool movedUp, bool exact);
    void step(int view, int line, int across, int up);
    QString askFile();

    Prompter *m_prompter;
    PictureContent m_content;
    PictureLayout m_layout;
    bool m_laidOut = false;
    QStringList m_tableFiles;
    QString m_notice;
    std::function<QString()> m_askFile;
    QList<QWidget *> m_markers; // view by view, line by line: the Tab order
    QAction *m_menuKey = nullptr;
    QAction *m_keepAction = nullptr;
    QList<QAction *> m_historyActions;
    std::optional<PictureFit> m_keptFit;
    std::optional<PictureFit> m_dragFit; // the marker stays under the pointer

    struct Drag {
        int view = -1;
        int line = -1;
        QPointF pressedAt; // in the window
        double pixelsPerFoot = 1;
        qint32 from[AxisCount] = {};
        bool moving = false;
    } m_drag;
};

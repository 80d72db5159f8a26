#pragma once

#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

// The form's fonts: MS Sans Serif's metrics in a smoothly scaled face where
// the system has one (Microsoft Sans Serif), else a face with Arial's. Sizes are pixel sizes so
// that text and the pixel-exact layout scale together (8.25 pt and 9.75 pt at 96 dpi).
QFont formFont();
QFont formBoldFont();

// A label with a single-line border that widens or narrows to its caption.
// With no caption it is an empty bordered box of its initial width. A screen
// reader hears its caption, and nothing while it is empty.
class AutoSizeLabel : public QLabel
{
    Q_OBJECT
public:
    explicit AutoSizeLabel(QWidget *parent = nullptr);
    // Sets the caption and fits the width to it, keeping the left edge.
    void setCaption(const QString &caption);
    void setEmptyGeometry(const QRect &rect);
    // How a caption too long for the capped width is drawn.
    enum class Shortening {
        Path, // in the middle of the folders, the file name whole
        End,  // at its end, as a name
    };
    // Caps the width: a longer caption is drawn shortened with an ellipsis
    // and shown whole as the tooltip. The caption itself stays whole.
    void setMaxWidth(int width, Shortening shortening);
    // What is drawn: the caption, or its shortened form.
    QString shownText() const { return m_shown; }
    // The width the drawn text may take.
    int textRoom() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int textIndent() const;

    int m_emptyWidth = 0;
    int m_maxWidth = 0; // 0: no cap
    Shortening m_shortening = Shortening::Path;
    QString m_shown;
};

// A path shortened to `room` pixels of `metrics`: the folders give way in
// the middle to an ellipsis, the file name stays whole while it fits.
QString elidePath(const QString &path, const QFontMetrics &metrics, int room);

// A command button whose caption wraps onto more lines when it does not fit
// on one, as the captions of this form's tall buttons are meant to.
class WrappingButton : public QPushButton
{
    Q_OBJECT
public:
    using QPushButton::QPushButton;
    // The area the caption is drawn in.
    QRect captionRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};

// Whether a line box's text is wider than the box shows.
bool textOverflows(const QLineEdit *box);

// A line box of the editing panel. While it is not being edited, a number
// too wide for it is drawn shortened so that its sign, leading digits and
// exponent stay in view ("-4.7619...E-02"); its text stays the whole number.
class LineBox : public QLineEdit
{
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;
    // What is drawn: the text, or its shortened form.
    QString paintedText() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};

class QRadioButton;
// Turns on button `index` of an option group and every other one off; -1
// leaves the whole group off, which a user cannot do with the mouse.
void checkOnly(const QList<QRadioButton *> &group, int index);

#include "controls.h"

#include "shortened_number.h"

#include <QAccessibleWidget>
#include <QButtonGroup>
#include <QFontDatabase>
#include <QLineEdit>
#include <QPainter>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QStylePainter>

// The faces for the form, best first: MS Sans Serif's metrics in a face that
// scales smoothly. Windows has that as "Microsoft Sans Serif"; its bitmap
// "MS Sans Serif" comes in a few sizes only, so faces with Arial's metrics
// come before it: faces that do not scale smoothly come last.
static QStringList formFamilies()
{
    static const QStringList families = [] {
        QStringList scalable;
        QStringList other;
        for (const char *family : {"Microsoft Sans Serif", "MS Sans Serif", "Liberation Sans",
                                   "Arimo", "Nimbus Sans", "Arial"}) {
            const QString name = QString::fromLatin1(family);
            (QFontDatabase::isSmoothlyScalable(name) ? scalable : other) << name;
        }
        return scalable + other;
    }();
    return families;
}

static QFont makeFont(int pixelSize, bool bold)
{
    QFont font;
    font.setFamilies(formFamilies());
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QFont formFont()
{
    return makeFont(11, false);
}

QFont formBoldFont()
{
    return makeFont(13, true);
}

namespace
{

// What a screen reader hears of an auto-sized label: its caption without the
// blanks around it, or nothing, never the title of the frame it sits in.
class AutoSizeLabelAccessible : public QAccessibleWidget
{
public:
    explicit AutoSizeLabelAccessible(QWidget *label)
        : QAccessibleWidget(label, QAccessible::StaticText)
    {
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name)
            return static_cast<const QLabel *>(widget())->text().trimmed();
        return QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface *autoSizeLabelAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String("AutoSizeLabel") && object && object->isWidgetType())
        return new AutoSizeLabelAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace

AutoSizeLabel::AutoSizeLabel(QWidget *parent) : QLabel(parent)
{
    static const bool accessibleInstalled = [] {
        QAccessible::installFactory(autoSizeLabelAccessible);
        return true;
    }();
    Q_UNUSED(accessibleInstalled);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setTextFormat(Qt::PlainText);
}

void AutoSizeLabel::setEmptyGeometry(const QRect &rect)
{
    m_emptyWidth = rect.width();
    setGeometry(rect);
}

void AutoSizeLabel::setMaxWidth(int width, Shortening shortening)
{
    m_maxWidth = width;
    m_shortening = shortening;
}

int AutoSizeLabel::textIndent() const
{
    // As QLabel indents the text of a framed label.
    return indent() >= 0 ? indent() : fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2;
}

int AutoSizeLabel::textRoom() const
{
    return contentsRect().width() - textIndent() - 1;
}

void AutoSizeLabel::setCaption(const QString &caption)
{
    setText(caption);
    m_shown = caption;
    int width = m_emptyWidth;
    if (!caption.isEmpty())
        width = fontMetrics().horizontalAdvance(caption) + 2 * frameWidth() + 4;
    if (m_maxWidth > 0)
        setToolTip(caption.trimmed());
    resize(m_maxWidth > 0 ? std::min(width, m_maxWidth) : width, height());
    if (m_maxWidth > 0 && width > m_maxWidth)
        m_shown = m_shortening == Shortening::Path
                      ? elidePath(caption, fontMetrics(), textRoom())
                      : fontMetrics().elidedText(caption, Qt::ElideRight, textRoom());
}

void AutoSizeLabel::paintEvent(QPaintEvent *event)
{
    if (m_shown == text()) {
        QLabel::paintEvent(event);
        return;
    }
    QFrame::paintEvent(event); // the border
    QPainter painter(this);
    QRect room = contentsRect();
    room.setLeft(room.left() + textIndent());
    style()->drawItemText(&painter, room, int(alignment()), palette(), isEnabled(), m_shown,
                          foregroundRole());
}

QString elidePath(const QString &path, const QFontMetrics &metrics, int room)
{
    if (metrics.horizontalAdvance(path) <= room)
        return path;
    const qsizetype cut = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\')) + 1;
    const QString fileName = path.mid(cut);
    const int folderRoom = room - metrics.horizontalAdvance(fileName);
    const QString ellipsis(QChar(0x2026));
    if (cut == 0 || folderRoom < metrics.horizontalAdvance(ellipsis))
        return metrics.elidedText(path, Qt::ElideMiddle, room);
    return metrics.elidedText(path.left(cut), Qt::ElideMiddle, folderRoom) + fileName;
}

QRect WrappingButton::captionRect() const
{
    QStyleOptionButton option;
    initStyleOption(&option);
    return style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
}

void WrappingButton::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(captionRect(), Qt::AlignCenter | Qt::TextWordWrap, text());
}

void checkOnly(const QList<QRadioButton *> &group, int index)
{
    for (int i = 0; i < group.size(); ++i) {
        QRadioButton *button = group[i];
        if (i == index) {
            button->setChecked(true);
            continue;
        }
        // An exclusive group refuses to turn off its checked button.
        QButtonGroup *buttonGroup = button->group();
        const bool exclusive = buttonGroup ? buttonGroup->exclusive() : button->autoExclusive();
        if (buttonGroup)
            buttonGroup->setExclusive(false);
        button->setAutoExclusive(false);
        button->setChecked(false);
        button->setAutoExclusive(exclusive);
        if (buttonGroup)
            buttonGroup->setExclusive(exclusive);
    }
}

namespace
{

// Where QLineEdit draws a line of text: the style's contents rectangle, less
// the text margins and its own two pixels on either side, the line centred
// in its height.
QRect textLine(const QLineEdit *box, const QString &text)
{
    QStyleOptionFrame option;
    option.initFrom(box);
    option.rect = box->rect();
    option.lineWidth =
        box->hasFrame() ? box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, box) : 0;
    const QRect room = box->style()
                           ->subElementRect(QStyle::SE_LineEditContents, &option, box)
                           .marginsRemoved(box->textMargins());
    constexpr int InnerMargin = 2;
    const QFontMetrics metrics = box->fontMetrics();
    const int height = std::max(metrics.boundingRect(text).height(), metrics.height());
    return QRect(room.x() + InnerMargin, room.y() + (room.height() - height + 1) / 2,
                 room.width() - 2 * InnerMargin, height);
}

// The width a text may take in the box: QLineEdit keeps one pixel for the cursor.
int textRoom(const QLineEdit *box)
{
    return textLine(box, box->text()).width() - 1;
}

} // namespace

bool textOverflows(const QLineEdit *box)
{
    return box->fontMetrics().horizontalAdvance(box->text()) > textRoom(box);
}

QString LineBox::paintedText() const
{
    // Being edited, it shows its whole text as typed.
    if (window()->focusWidget() == this)
        return text();
    const QFontMetrics metrics = fontMetrics();
    return shortenedNumber(text(), textRoom(this), [&metrics](const QString &form) {
        return metrics.horizontalAdvance(form);
    });
}

void LineBox::paintEvent(QPaintEvent *event)
{
    const QString painted = paintedText();
    if (painted == text()) {
        QLineEdit::paintEvent(event);
        return;
    }
    // As QLineEdit draws an unfocused box whose text starts at its left edge.
    QPainter painter(this);
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, this);
    const QRect line = textLine(this, painted);
    painter.setClipRect(line.adjusted(-2, 0, 2, 0)); // the contents rectangle's width
    painter.setPen(palette().text().color());
    painter.drawText(QPoint(line.x(), line.y() + fontMetrics().ascent()), painted);
}

#include "controls.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStylePainter>

static QFont makeFont(int pixelSize, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                      QStringLiteral("Nimbus Sans"), QStringLiteral("Arial")});
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

AutoSizeLabel::AutoSizeLabel(QWidget *parent) : QLabel(parent)
{
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

void AutoSizeLabel::setCaption(const QString &caption)
{
    setText(caption);
    int width = m_emptyWidth;
    if (!caption.isEmpty())
        width = fontMetrics().horizontalAdvance(caption) + 2 * frameWidth() + 4;
    resize(width, height());
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

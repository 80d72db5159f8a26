// Builds every control of the window at its fixed place.
#include "biform.h"
#include "control_making.h"
#include "controls.h"
#include "line_panel.h"
#include "selector_grid.h"
#include "twips.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>
#include <limits>

namespace
{

constexpr const char *WindowTitle = "Orvin's 4.16R Formation table utility";
// Least room between the loaded file's path and the caption to its right.
constexpr int LabelGap = 6;

constexpr int ClientWidthTwips = 13095;
constexpr int ClientHeightTwips = 6885;

// The width a label may take before it comes within LabelGap of the
// nearest shown control to its right at the same height.
int roomToTheRight(const QWidget *label)
{
    const QRect own = label->geometry();
    int limit = label->parentWidget()->width();
    for (const QObject *object : label->parentWidget()->children()) {
        const auto *other = qobject_cast<const QWidget *>(object);
        if (!other || other == label || other->isHidden())
            continue;
        const QRect rect = other->geometry();
        if (rect.left() > own.left() && rect.top() <= own.bottom() && rect.bottom() >= own.top())
            limit = std::min(limit, rect.left());
    }
    return limit - own.left() - LabelGap;
}

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &caption, const QRect &rect)
{
    auto *label = makeControl<QLabel>(parent, name, rect);
    label->setText(caption);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

AutoSizeLabel *makeAutoSizeLabel(QWidget *parent, const QString &name, const QRect &rect,
                                 const QFont &font)
{
    auto *label = new AutoSizeLabel(parent);
    label->setObjectName(name);
    label->setFont(font);
    label->setEmptyGeometry(rect);
    return label;
}

} // namespace

void BiForm::addToTabOrder(int tabIndex, int subIndex, QWidget *widget)
{
    m_tabOrder.append({{tabIndex, subIndex}, widget});
}

TabStop BiForm::tabStop()
{
    return [this](int tabIndex, int subIndex, QWidget *widget) {
        addToTabOrder(tabIndex, subIndex, widget);
    };
}

void BiForm::applyTabOrder()
{
    std::sort(m_tabOrder.begin(), m_tabOrder.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    for (qsizetype i = 0; i + 1 < m_tabOrder.size(); ++i)
        setTabOrder(m_tabOrder[i].second, m_tabOrder[i + 1].second);
}

void BiForm::createControls()
{
    setObjectName(QStringLiteral("BiForm"));
    setWindowTitle(QString::fromLatin1(WindowTitle));
    setFont(formFont());
    setFixedSize(twipsToPixels(ClientWidthTwips), twipsToPixels(ClientHeightTwips));

    m_command1 = makeControl<WrappingButton>(this, QStringLiteral("Command1"),
                                             twipsRect(270, 120, 2805, 465));
    m_command1->setText(QStringLiteral("Load frmation.dat or KGF"));
    addToTabOrder(1, 0, m_command1);

    m_label1 = makeAutoSizeLabel(this, QStringLiteral("Label1"), twipsRect(3990, 150, 105, 255),
                                 formFont());
    m_label1->setAccessibleDescription(QStringLiteral("Loaded file"));

    m_text2 =
        makeControl<QLineEdit>(this, QStringLiteral("Text2"), twipsRect(11640, 180, 1005, 285));
    m_text2->setText(QStringLiteral("0"));
    m_text2->setMaxLength(std::numeric_limits<int>::max());
    m_text2->setAccessibleName(QStringLiteral("Start location"));
    m_text2->setAccessibleDescription(
        QStringLiteral("Byte offset at which a formation data file is read"));
    addToTabOrder(4, 0, m_text2);

    QLabel *label3 = makeLabel(this, QStringLiteral("Label3"), QStringLiteral("Start  location"),
                               twipsRect(10050, 180, 1455, 315));
    label3->setBuddy(m_text2);

    m_frame1 =
        makeControl<QGroupBox>(this, QStringLiteral("Frame1"), twipsRect(90, 780, 12975, 5985));
    m_frame1->setTitle(
        QStringLiteral("Formation editing:  Distances in feet to match the source code"));
    m_frame1->setAccessibleName(m_frame1->title());

    makeLabel(m_frame1, QStringLiteral("Label5"), QStringLiteral("Type"),
              twipsRect(60, 390, 465, 255));
    makeLabel(m_frame1, QStringLiteral("Label6"), QStringLiteral("Number"),
              twipsRect(600, 390, 585, 255));
    const int offsetLabelLeft[3] = {1590, 2820, 3990};
    const char *offsetCaption[3] = {"X Offset", "Y Offset", "Z Offset"};
    for (int i = 0; i < 3; ++i)
        makeLabel(m_frame1, indexed("Label7", i), QString::fromLatin1(offsetCaption[i]),
                  twipsRect(offsetLabelLeft[i], 390, 705, 255));

    m_panel = new LinePanel(m_frame1, tabStop());

    m_label10 = makeLabel(m_frame1, QStringLiteral("Label10"), QStringLiteral("The mouse is over"),
                          twipsRect(330, 1920, 1875, 225));
    m_label12 = makeAutoSizeLabel(m_frame1, QStringLiteral("Label12"),
                                  twipsRect(1710, 1860, 165, 300), formBoldFont());
    m_label12->setAccessibleDescription(QStringLiteral("Formation under the mouse"));
    m_label10->setBuddy(m_label12);

    m_selectors = new SelectorGrid(m_frame1, tabStop());

    m_command2 = makeControl<WrappingButton>(m_frame1, QStringLiteral("Command2"),
                                             twipsRect(90, 5250, 1095, 555));
    m_command2->setText(QStringLiteral("Edit this one"));
    addToTabOrder(28, 0, m_command2);

    m_command3 = makeControl<WrappingButton>(m_frame1, QStringLiteral("Command3"),
                                             twipsRect(3360, 5070, 1455, 705));
    m_command3->setText(QStringLiteral("Save Formation file"));
    addToTabOrder(72, 0, m_command3);

    m_label4 = makeAutoSizeLabel(m_frame1, QStringLiteral("Label4"),
                                 twipsRect(1260, 5400, 135, 300), formBoldFont());
    m_label4->setAccessibleDescription(QStringLiteral("Chosen formation"));

    createWorkingLabels(m_frame1);

    m_panel->addCalculators(tabStop());

    // The auto-sized labels grow with their caption, but never over the
    // control to their right, and they lie beneath every other control so
    // that they can never take a click meant for one.
    m_label1->setMaxWidth(roomToTheRight(m_label1), AutoSizeLabel::Shortening::Path);
    for (AutoSizeLabel *label : {m_label4, m_label12}) {
        label->setMaxWidth(roomToTheRight(label), AutoSizeLabel::Shortening::End);
        label->lower();
    }
}

void BiForm::createWorkingLabels(QWidget *frame1)
{
    m_label8 =
        makeLabel(frame1, QStringLiteral("Label8"), QString(), twipsRect(6120, 3840, 1125, 345));
    const QRect label9[4] = {twipsRect(6180, 4320, 465, 345), twipsRect(6750, 4290, 465, 345),
                             twipsRect(6120, 4800, 465, 345), twipsRect(6660, 4740, 465, 345)};
    for (int k = 0; k < 4; ++k)
        m_label9.append(makeLabel(frame1, indexed("Label9", k), QString(), label9[k]));
    const QList<QLabel *> working = QList<QLabel *>{m_label8} + m_label9;
    for (QLabel *label : working) {
        label->setFrameStyle(QFrame::Box | QFrame::Plain);
        label->hide();
    }
}

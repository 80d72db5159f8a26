// The window's side of the formation picture: what the panel would store,
// handed to the picture window whenever it may have changed, and markers
// moved there typed into the panel's offset boxes.
#include "biform.h"

#include "line_panel.h"
#include "number_text.h"
#include "picture_window.h"
#include "type_code_box.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>
#include <algorithm>

void BiForm::showPicture()
{
    if (!m_picture) {
        m_picture = new PictureWindow(&m_prompter, this);
        connect(m_picture, &PictureWindow::offsetMoved, this, &BiForm::movePanelOffset);
        // Every change of the panel redraws it, as the panel would write it.
        for (QLineEdit *box : m_panel->boxes())
            connect(box, &QLineEdit::textChanged, m_picture, [this] { refreshPicture(); });
        for (const QList<QRadioButton *> &types : m_panel->typeButtons())
            for (QRadioButton *button : types)
                connect(button, &QRadioButton::toggled, m_picture, [this] { refreshPicture(); });
        for (const QList<QCheckBox *> &boxes : m_panel->modifierBoxes())
            for (QCheckBox *box : boxes)
                connect(box, &QCheckBox::stateChanged, m_picture, [this] { refreshPicture(); });
        // Beside the main window, narrowed to the room the screen has there,
        // else below it, else over it.
        const QRect screen = this->screen()->availableGeometry();
        const QRect main = frameGeometry();
        const QSize wanted = m_picture->size();
        const QSize least = m_picture->minimumSize();
        if (screen.right() - main.right() - 8 >= least.width()) {
            m_picture->resize(std::min(wanted.width(), screen.right() - main.right() - 8),
                              wanted.height());
            m_picture->move(main.right() + 8, main.top());
        } else if (screen.bottom() - main.bottom() - 8 >= least.height()) {
            m_picture->resize(wanted.width(),
                              std::min(wanted.height(), screen.bottom() - main.bottom() - 8));
            m_picture->move(main.left(), main.bottom() + 8);
        } else {
            m_picture->move(std::max(screen.left(), screen.right() - wanted.width()),
                            std::max(screen.top(), main.top()));
        }
    }
    refreshPicture();
    m_picture->show();
    m_picture->raise();
    m_picture->activateWindow();
}

void BiForm::refreshPicture()
{
    if (!m_picture)
        return;
    m_picture->setTableFiles({m_document.loadedPath(), m_document.savePath()});
    m_picture->setContent(panelPicture());
}

PictureContent BiForm::panelPicture() const
{
    PictureContent content;
    if (m_shownFormation < 0)
        return content;
    content.formation = m_shownFormation;
    content.name = m_formationNames[m_shownFormation];
    for (int line = 1; line <= FormationTable::LinesPerFormation; ++line) {
        const FormationLine stored =
            readLine(m_document.table(), FormationTable::rowOfLine(m_shownFormation, line));
        EditedLine edited = m_panel->editedLine(line);
        QString *texts[] = {nullptr, &edited.count, &edited.xOffset, &edited.yOffset,
                            &edited.zOffset};
        // A box that holds no valid value is drawn with the stored one; the
        // line is unwritten all the same.
        LineEncoding encoded = encodeEditedLine(edited, stored, line);
        // A Type box that holds no code is an unwritten edit too.
        const bool valid =
            encoded.ok && readTypeCodeBox(lineBox(line, LineEncoding::Type)->text(), line).code;
        for (int tries = 0; !encoded.ok && tries < LineEncoding::FieldCount; ++tries) {
            const LineTexts storedTexts = lineTexts(stored);
            const QString *fallback[] = {nullptr, &storedTexts.count, &storedTexts.xOffset,
                                         &storedTexts.yOffset, &storedTexts.zOffset};
            Q_ASSERT(encoded.field >= LineEncoding::Count);
            *texts[encoded.field] = *fallback[encoded.field];
            encoded = encodeEditedLine(edited, stored, line);
        }
        PictureLine &shown = content.lines[line - 1];
        shown.line = encoded.line;
        shown.written = valid && encoded.line == stored;
    }
    return content;
}

void BiForm::movePanelOffset(int line, int axis, qint32 stored)
{
    if (m_shownFormation < 0)
        return;
    // As if typed: the box's own undo takes it back.
    QLineEdit *box = lineBox(line + 1, LineEncoding::XOffset + axis);
    box->selectAll();
    box->insert(formatFeet(stored));
}

PictureWindow *BiForm::pictureWindow() const
{
    return m_picture;
}

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
        // A save or a load moves the ghosts.
        connect(&m_document, &FormDocument::referenceChanged, m_picture,
                [this] { refreshPicture(); });
        // The main window's keys for the table's history work there too.
        m_picture->addHistoryActions({m_undoAction, m_redoAction});
        // Beside the main window, never over its panel; its frame will be as
        // the main window's is.
        const QRect main = frameGeometry();
        const QRect inside = geometry();
        const QMargins frame(inside.left() - main.left(), inside.top() - main.top(),
                             main.right() - inside.right(), main.bottom() - inside.bottom());
        const WindowPlace place =
            pictureWindowPlace(main, screen()->availableGeometry(), m_picture->size(),
                               m_picture->minimumSize(), frame);
        m_picture->resize(place.size);
        m_picture->move(place.framePosition);
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
    const QByteArray reference = m_document.referenceFormation(m_shownFormation);
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
        // "Scale and move" shows what it would write, as unwritten values are.
        if (m_scalePreview) {
            shown.line = (*m_scalePreview)[line - 1];
            shown.written = shown.line == stored;
        }
    }
    setGhosts(content, reference);
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

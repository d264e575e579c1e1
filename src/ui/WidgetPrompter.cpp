#include "ui/WidgetPrompter.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "state/SharedTexts.h"
#include "ui/CConfirmDlg.h"
#include "ui/Skin.h"

QWidget* WidgetPrompter::owner() const
{
    // A hidden owner would place the dialog at the corner of the screen; the window the user is
    // looking at is the better owner then.
    if (m_parent && m_parent->isVisible())
        return m_parent;
    return QApplication::activeWindow() ? QApplication::activeWindow() : m_parent;
}

bool WidgetPrompter::confirm(const QString& message, const QString& acceptCaption, const QString& rejectCaption)
{
    CConfirmDlg dialog(message, 0, acceptCaption, rejectCaption, owner());
    return dialog.exec() == QDialog::Accepted;
}

std::optional<QString> WidgetPrompter::askText(const QString& message, const QString& acceptCaption,
                                               const QString& rejectCaption)
{
    CConfirmDlg dialog(message, 1, acceptCaption, rejectCaption, owner());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.inputText();
}

Prompter::SaveChoice WidgetPrompter::askSave(const QString& message)
{
    QMessageBox box(QMessageBox::Question, SharedTexts::kProductCaption, Skin::displayText(message),
                    QMessageBox::NoButton, owner());
    box.setFont(Skin::uiFont());
    QPushButton* save = box.addButton(QStringLiteral("保存"), QMessageBox::AcceptRole);
    save->setObjectName(QStringLiteral("saveButton"));
    QPushButton* discard = box.addButton(QStringLiteral("不保存"), QMessageBox::DestructiveRole);
    discard->setObjectName(QStringLiteral("discardButton"));
    QPushButton* cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    box.setDefaultButton(save);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == save)
        return SaveChoice::Save;
    if (box.clickedButton() == discard)
        return SaveChoice::Discard;
    return SaveChoice::Cancel;
}

void WidgetPrompter::showMessage(const QString& text, const QString& caption)
{
    QMessageBox box(QMessageBox::NoIcon, caption, Skin::displayText(text), QMessageBox::Ok, owner());
    box.setFont(Skin::uiFont());
    box.exec();
}

#include "ui/WidgetPrompter.h"

#include <QApplication>
#include <QMessageBox>

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

void WidgetPrompter::showMessage(const QString& text, const QString& caption)
{
    QMessageBox box(QMessageBox::NoIcon, caption, Skin::displayText(text), QMessageBox::Ok, owner());
    box.setFont(Skin::uiFont());
    box.exec();
}

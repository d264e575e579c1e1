#include "ui/WidgetPrompter.h"

#include <QMessageBox>

#include "ui/CConfirmDlg.h"
#include "ui/Skin.h"

bool WidgetPrompter::confirm(const QString& message, const QString& acceptCaption, const QString& rejectCaption)
{
    CConfirmDlg dialog(message, 0, acceptCaption, rejectCaption, m_parent);
    return dialog.exec() == QDialog::Accepted;
}

std::optional<QString> WidgetPrompter::askText(const QString& message, const QString& acceptCaption,
                                               const QString& rejectCaption)
{
    CConfirmDlg dialog(message, 1, acceptCaption, rejectCaption, m_parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.inputText();
}

void WidgetPrompter::showMessage(const QString& text, const QString& caption)
{
    QMessageBox box(QMessageBox::NoIcon, caption, Skin::displayText(text), QMessageBox::Ok, m_parent);
    box.setFont(Skin::uiFont());
    box.exec();
}

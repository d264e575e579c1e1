#include "ui/CConfirmDlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "ui/DialogUnits.h"
#include "ui/Skin.h"

CConfirmDlg::CConfirmDlg(const QString& message, int inputFlag, const QString& okCaption, const QString& cancelCaption,
                         QWidget* parent)
    : QDialog(parent), m_inputFlag(inputFlag), m_messageLabel(new QLabel(this)), m_inputEdit(new QLineEdit(this)),
      m_okButton(new QPushButton(this)), m_cancelButton(new QPushButton(this))
{
    setWindowTitle(kTitle);
    Skin::applyDialogSkin(this);
    const DialogUnits du(font());
    setFixedSize(du.x(246), du.y(127));

    m_messageLabel->setObjectName(QStringLiteral("messageLabel"));
    m_messageLabel->setText(Skin::displayText(message.isEmpty() ? QStringLiteral("确认操作内容") : message));
    m_messageLabel->setWordWrap(true);
    m_messageLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_messageLabel->setFont(Skin::uiFont(10));
    QPalette messagePalette = m_messageLabel->palette();
    messagePalette.setColor(QPalette::WindowText, Skin::kConfirmText);
    m_messageLabel->setPalette(messagePalette);
    m_messageLabel->setGeometry(du.rect(23, 22, 201, 53));

    // The input box overlaps the lower part of the message area, so it is raised above it.
    m_inputEdit->setObjectName(QStringLiteral("inputEdit"));
    m_inputEdit->setGeometry(du.rect(52, 67, 135, 14));
    m_inputEdit->setVisible(m_inputFlag > 0);
    m_inputEdit->raise();

    m_okButton->setObjectName(QStringLiteral("okButton"));
    m_okButton->setText(okCaption.isEmpty() ? QStringLiteral("确定") : okCaption);
    m_okButton->setGeometry(du.rect(96, 95, 50, 14));
    m_okButton->setDefault(true);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_cancelButton->setText(cancelCaption.isEmpty() ? QStringLiteral("取消") : cancelCaption);
    m_cancelButton->setGeometry(du.rect(159, 95, 50, 14));

    connect(m_okButton, &QPushButton::clicked, this, &CConfirmDlg::onAccept);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    if (m_inputFlag > 0)
        m_inputEdit->setFocus();
}

QString CConfirmDlg::inputText() const
{
    return m_acceptedText;
}

void CConfirmDlg::onAccept()
{
    if (m_inputFlag > 0) {
        m_acceptedText = m_inputEdit->text();
        if (m_acceptedText.isEmpty()) {
            QMessageBox::information(this, QStringLiteral("提示框"), QStringLiteral("文本框不能为空！"));
            return;
        }
    }
    accept();
}

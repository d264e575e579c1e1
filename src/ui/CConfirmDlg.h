#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

// The one modal dialog that confirms a grave action or asks for one line of text.
class CConfirmDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CConfirmDlg)

public:
    // inputFlag > 0 shows the input box and requires text in it.
    CConfirmDlg(const QString& message, int inputFlag, const QString& okCaption, const QString& cancelCaption,
                QWidget* parent = nullptr);

    // The text of the input box as it was when the dialog was accepted.
    QString inputText() const;

    static inline const QString kTitle = QStringLiteral("确认操作对话框");

private:
    void onAccept();

    int m_inputFlag;
    QString m_acceptedText;
    QLabel* m_messageLabel;
    QLineEdit* m_inputEdit;
    QPushButton* m_okButton;
    QPushButton* m_cancelButton;
};

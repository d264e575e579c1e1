#include "app/CEnDeCrypt.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "state/AppState.h"
#include "state/SharedTexts.h"
#include "ui/DialogUnits.h"
#include "ui/Prompter.h"
#include "ui/Skin.h"

namespace {

QPushButton* button(const QString& text, const QString& objectName, QWidget* parent)
{
    auto* pushButton = new QPushButton(text, parent);
    pushButton->setObjectName(objectName);
    pushButton->setAutoDefault(false);
    return pushButton;
}

QLineEdit* pathEdit(const QString& objectName, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    edit->setReadOnly(true);
    return edit;
}

} // namespace

CEnDeCrypt::CEnDeCrypt(const AppState& state, Prompter& prompter, QWidget* parent)
    : QDialog(parent), m_state(state), m_prompter(prompter)
{
    setWindowTitle(kTitle);
    Skin::applyDialogSkin(this);
    const DialogUnits du(font());
    setFixedSize(du.x(315), du.y(166));

    auto* group = new QGroupBox(QStringLiteral("文件加密解密"), this);
    m_sourceEdit = pathEdit(QStringLiteral("sourceEdit"), group);
    m_targetEdit = pathEdit(QStringLiteral("targetEdit"), group);
    QPushButton* sourceBrowse = button(QStringLiteral("浏览..."), QStringLiteral("sourceBrowseButton"), group);
    QPushButton* targetBrowse = button(QStringLiteral("浏览..."), QStringLiteral("targetBrowseButton"), group);
    m_keyEdit = new QLineEdit(group);
    m_keyEdit->setObjectName(QStringLiteral("keyEdit"));
    m_defaultKeyCheckBox = new QCheckBox(QStringLiteral("默认密钥"), group);
    m_defaultKeyCheckBox->setObjectName(QStringLiteral("defaultKeyCheckBox"));
    m_defaultKeyCheckBox->setChecked(true);
    m_keyEdit->setEnabled(false);

    auto* form = new QGridLayout(group);
    form->setContentsMargins(du.x(10), du.y(10), du.x(10), du.y(8));
    form->setHorizontalSpacing(du.x(4));
    form->setVerticalSpacing(du.y(6));
    form->addWidget(new QLabel(QStringLiteral("打开文件于："), group), 0, 0, Qt::AlignRight | Qt::AlignVCenter);
    form->addWidget(m_sourceEdit, 0, 1);
    form->addWidget(sourceBrowse, 0, 2);
    form->addWidget(new QLabel(QStringLiteral("另存文件于："), group), 1, 0, Qt::AlignRight | Qt::AlignVCenter);
    form->addWidget(m_targetEdit, 1, 1);
    form->addWidget(targetBrowse, 1, 2);
    form->addWidget(new QLabel(QStringLiteral("AES密钥："), group), 2, 0, Qt::AlignRight | Qt::AlignVCenter);
    form->addWidget(m_keyEdit, 2, 1);
    form->addWidget(m_defaultKeyCheckBox, 2, 2);
    form->setColumnStretch(1, 1);

    QPushButton* encrypt = button(QStringLiteral("加 密"), QStringLiteral("encryptButton"), this);
    QPushButton* decrypt = button(QStringLiteral("解 密"), QStringLiteral("decryptButton"), this);
    QPushButton* close = button(QStringLiteral("返 回"), QStringLiteral("closeButton"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* command : {encrypt, decrypt, close}) {
        command->setMinimumSize(du.x(50), du.y(14));
        buttons->addWidget(command);
        buttons->addSpacing(du.x(8));
    }
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(du.x(7), du.y(7), du.x(7), du.y(7));
    layout->setSpacing(du.y(7));
    layout->addWidget(group);
    layout->addLayout(buttons);

    connect(m_defaultKeyCheckBox, &QCheckBox::toggled, m_keyEdit,
            [this](bool useDefault) { m_keyEdit->setEnabled(!useDefault); });
    connect(sourceBrowse, &QPushButton::clicked, this, &CEnDeCrypt::browseSource);
    connect(targetBrowse, &QPushButton::clicked, this, &CEnDeCrypt::browseTarget);
    connect(encrypt, &QPushButton::clicked, this, [this] { process(FileCipher::Direction::Encrypt); });
    connect(decrypt, &QPushButton::clicked, this, [this] { process(FileCipher::Direction::Decrypt); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

QString CEnDeCrypt::key() const
{
    return m_defaultKeyCheckBox->isChecked() ? m_state.user.dataKey : m_keyEdit->text();
}

void CEnDeCrypt::browseSource()
{
    const QString start = m_sourceEdit->text().isEmpty() ? QDir::homePath() : m_sourceEdit->text();
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("打开文件"), start, kFilter);
    if (!path.isEmpty())
        m_sourceEdit->setText(path);
}

void CEnDeCrypt::browseTarget()
{
    // The command itself asks before it replaces a file, right before it does so; asking here as
    // well would ask twice for one choice.
    QString start = m_targetEdit->text();
    if (start.isEmpty())
        start = m_sourceEdit->text().isEmpty() ? QDir::homePath() : QFileInfo(m_sourceEdit->text()).absolutePath();
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("另存文件"), start, kFilter, nullptr,
                                                      QFileDialog::DontConfirmOverwrite);
    if (!path.isEmpty())
        m_targetEdit->setText(path);
}

void CEnDeCrypt::process(FileCipher::Direction direction)
{
    if (const std::optional<QString> refusal = SharedTexts::unstorableText({{QStringLiteral("密钥"), key()}})) {
        m_prompter.showMessage(*refusal, FileCipher::kCaption);
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const FileCipher::Outcome outcome =
        FileCipher::run(direction, key(), m_sourceEdit->text(), m_targetEdit->text(), [this](const QString& question) {
            QApplication::restoreOverrideCursor();
            const bool replace = m_prompter.confirm(question, FileCipher::kReplaceButton, FileCipher::kKeepButton);
            QApplication::setOverrideCursor(Qt::WaitCursor);
            return replace;
        });
    QApplication::restoreOverrideCursor();
    if (!outcome.message.isEmpty())
        m_prompter.showMessage(outcome.message, outcome.caption);
}

#include "app/ExportDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "state/AppState.h"
#include "state/SharedTexts.h"
#include "ui/DialogUnits.h"
#include "ui/Prompter.h"
#include "ui/Skin.h"

using RecordExport::Format;

namespace {

// The folder of the last export, where the next one starts, for the rest of the run.
QString& lastFolder()
{
    static QString folder;
    if (folder.isEmpty()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (folder.isEmpty() || !QFileInfo(folder).isDir())
            folder = QDir::homePath();
    }
    return folder;
}

QString radioName(Format format)
{
    switch (format) {
    case Format::Rtf:
        return QStringLiteral("rtfRadio");
    case Format::Html:
        return QStringLiteral("htmlRadio");
    case Format::Text:
        return QStringLiteral("textRadio");
    case Format::Pdf:
        return QStringLiteral("pdfRadio");
    case Format::Csv:
        return QStringLiteral("csvRadio");
    case Format::EncryptedCsv:
        return QStringLiteral("encryptedCsvRadio");
    }
    return {};
}

} // namespace

ExportDialog::ExportDialog(const AppState& state, Prompter& prompter, ModuleKind module, RecordExport::Scope scope,
                           const QString& name, QWidget* parent)
    : QDialog(parent), m_state(state), m_prompter(prompter), m_scope(scope), m_stem(RecordExport::safeFileName(name)),
      m_shownFormat(RecordExport::formatsFor(module).front())
{
    setObjectName(QStringLiteral("exportDialog"));
    setWindowTitle(title(scope));
    Skin::applyDialogSkin(this);
    const DialogUnits du(font());

    auto* formats = new QGroupBox(QStringLiteral("格式"), this);
    auto* formatLayout = new QVBoxLayout(formats);
    auto* group = new QButtonGroup(this);
    for (Format format : RecordExport::formatsFor(module)) {
        auto* radio = new QRadioButton(RecordExport::formatName(format), formats);
        radio->setObjectName(radioName(format));
        group->addButton(radio);
        formatLayout->addWidget(radio);
        m_formats.emplace_back(format, radio);
    }
    m_formats.front().second->setChecked(true);

    auto* place = new QGroupBox(QStringLiteral("位置"), this);
    auto* placeLayout = new QGridLayout(place);
    m_targetEdit = new QLineEdit(place);
    m_targetEdit->setObjectName(QStringLiteral("targetEdit"));
    m_targetEdit->setMinimumWidth(du.x(200));
    const QString folder = lastFolder();
    m_targetEdit->setText(
        targetIsFile(m_shownFormat) ? QDir(folder).filePath(m_stem + RecordExport::extension(m_shownFormat)) : folder);
    auto* browseButton = new QPushButton(QStringLiteral("浏览..."), place);
    browseButton->setObjectName(QStringLiteral("browseButton"));
    browseButton->setAutoDefault(false);
    m_defaultKeyCheckBox = new QCheckBox(QStringLiteral("默认密钥"), place);
    m_defaultKeyCheckBox->setObjectName(QStringLiteral("defaultKeyCheckBox"));
    m_defaultKeyCheckBox->setChecked(true);
    m_keyEdit = new QLineEdit(place);
    m_keyEdit->setObjectName(QStringLiteral("keyEdit"));
    placeLayout->addWidget(new QLabel(QStringLiteral("导出到："), place), 0, 0);
    placeLayout->addWidget(m_targetEdit, 0, 1);
    placeLayout->addWidget(browseButton, 0, 2);
    // Only the encrypted CSV of the password box takes a key.
    if (m_formats.front().first == Format::EncryptedCsv) {
        placeLayout->addWidget(new QLabel(QStringLiteral("AES密钥："), place), 1, 0);
        placeLayout->addWidget(m_keyEdit, 1, 1);
        placeLayout->addWidget(m_defaultKeyCheckBox, 1, 2);
    } else {
        m_keyEdit->hide();
        m_defaultKeyCheckBox->hide();
    }
    placeLayout->setColumnStretch(1, 1);

    auto* note = new QLabel(scope == RecordExport::Scope::Record
                                ? QStringLiteral("记录按打开它时的密钥读取。")
                                : QStringLiteral("每个文件夹导出为一个同名的文件夹，每条记录一个文件；"
                                                 "使用自设密钥的记录不导出，导出后会列出。"),
                            this);
    note->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* exportButton = buttons->addButton(QStringLiteral("导出"), QDialogButtonBox::AcceptRole);
    exportButton->setObjectName(QStringLiteral("exportButton"));
    QPushButton* cancelButton = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(formats);
    layout->addWidget(place);
    layout->addWidget(note);
    layout->addWidget(buttons);

    connect(group, &QButtonGroup::buttonToggled, this, [this](QAbstractButton*, bool checked) {
        if (checked)
            formatChanged();
    });
    connect(m_defaultKeyCheckBox, &QCheckBox::toggled, this, [this] { formatChanged(); });
    connect(browseButton, &QPushButton::clicked, this, &ExportDialog::browse);
    connect(buttons, &QDialogButtonBox::accepted, this, &ExportDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    formatChanged();
}

QString ExportDialog::title(RecordExport::Scope scope)
{
    switch (scope) {
    case RecordExport::Scope::Record:
        return QStringLiteral("导出当前记录");
    case RecordExport::Scope::Folder:
        return QStringLiteral("导出当前文件夹");
    case RecordExport::Scope::Module:
        return QStringLiteral("导出整个模块");
    }
    return {};
}

Format ExportDialog::format() const
{
    for (const auto& [format, radio] : m_formats) {
        if (radio->isChecked())
            return format;
    }
    return m_formats.front().first;
}

QString ExportDialog::target() const
{
    return m_targetEdit->text().trimmed();
}

QString ExportDialog::fileKey() const
{
    return m_defaultKeyCheckBox->isChecked() ? m_state.user.dataKey : m_keyEdit->text();
}

bool ExportDialog::targetIsFile(Format format) const
{
    return m_scope == RecordExport::Scope::Record || RecordExport::isSingleFile(format);
}

// The place follows the format: another extension for a file, or the file's folder when many files follow.
void ExportDialog::formatChanged()
{
    const Format now = format();
    const bool encrypted = now == Format::EncryptedCsv;
    m_defaultKeyCheckBox->setEnabled(encrypted);
    m_keyEdit->setEnabled(encrypted && !m_defaultKeyCheckBox->isChecked());
    if (now == m_shownFormat)
        return;
    QString text = target();
    if (targetIsFile(now)) {
        const QString before = RecordExport::extension(m_shownFormat);
        if (!targetIsFile(m_shownFormat))
            text = QDir(text).filePath(m_stem + RecordExport::extension(now));
        else if (text.endsWith(before))
            text = text.chopped(before.size()) + RecordExport::extension(now);
    } else if (targetIsFile(m_shownFormat)) {
        text = QFileInfo(text).absolutePath();
    }
    m_targetEdit->setText(text);
    m_shownFormat = now;
}

void ExportDialog::browse()
{
    QString path;
    if (targetIsFile(format())) {
        // The export asks before it replaces a file, for all the files at once; asking here would ask twice.
        path =
            QFileDialog::getSaveFileName(this, windowTitle(), target(), {}, nullptr, QFileDialog::DontConfirmOverwrite);
    } else {
        path = QFileDialog::getExistingDirectory(this, windowTitle(), target());
    }
    if (!path.isEmpty())
        m_targetEdit->setText(QDir::toNativeSeparators(path));
}

void ExportDialog::accept()
{
    if (target().isEmpty()) {
        m_prompter.showMessage(QStringLiteral("请先选择导出到的位置。"), windowTitle());
        return;
    }
    if (format() == Format::EncryptedCsv) {
        if (fileKey().isEmpty()) {
            m_prompter.showMessage(QStringLiteral("请输入密钥，或选择默认密钥。"), windowTitle());
            return;
        }
        if (const std::optional<QString> refusal = SharedTexts::unstorableText({{QStringLiteral("密钥"), fileKey()}})) {
            m_prompter.showMessage(*refusal, windowTitle());
            return;
        }
    }
    const QFileInfo place(target());
    lastFolder() = targetIsFile(format()) ? place.absolutePath() : place.absoluteFilePath();
    QDialog::accept();
}

#include "app/BackupDialog.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "app/BackupRestore.h"
#include "app/DatedBackup.h"
#include "state/AppState.h"
#include "state/Preferences.h"
#include "state/SharedTexts.h"
#include "storage/Clock.h"
#include "storage/DbError.h"
#include "ui/DialogUnits.h"
#include "ui/Prompter.h"
#include "ui/Skin.h"

namespace {

struct WaitCursor {
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

QPushButton* newButton(const QString& text, const QString& name, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

} // namespace

BackupDialog::BackupDialog(AppState& state, Prompter& prompter, QWidget* parent)
    : QDialog(parent), m_state(state), m_prompter(prompter)
{
    setObjectName(QStringLiteral("backupDialog"));
    setWindowTitle(kTitle);
    Skin::applyDialogSkin(this);
    const DialogUnits du(font());

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("backupList"));
    m_list->setHeaderLabels({QStringLiteral("日期"), QStringLiteral("文件名"), QStringLiteral("大小")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setMinimumSize(du.x(300), du.y(120));
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_list->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_list->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);

    QPushButton* backupNowButton = newButton(QStringLiteral("立即备份"), QStringLiteral("backupNowButton"), this);
    m_restoreButton = newButton(QStringLiteral("恢复…"), QStringLiteral("restoreButton"), this);
    QPushButton* folderButton = newButton(QStringLiteral("打开备份文件夹"), QStringLiteral("openFolderButton"), this);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(backupNowButton);
    buttons->addWidget(m_restoreButton);
    buttons->addWidget(folderButton);
    buttons->addStretch();

    m_keepSpinBox = new QSpinBox(this);
    m_keepSpinBox->setObjectName(QStringLiteral("keepSpinBox"));
    m_keepSpinBox->setRange(Preferences::kMinKeptBackups, Preferences::kMaxKeptBackups);
    m_keepSpinBox->setValue(state.preferences.keepBackups);
    auto* keepLabel = new QLabel(QStringLiteral("保留最近的备份："), this);
    keepLabel->setBuddy(m_keepSpinBox);
    m_statusLabel = new QLabel(this);
    m_statusLabel->setObjectName(QStringLiteral("statusLabel"));
    m_statusLabel->setWordWrap(true);
    QPushButton* closeButton = newButton(QStringLiteral("关闭"), QStringLiteral("closeButton"), this);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(keepLabel);
    bottom->addWidget(m_keepSpinBox);
    bottom->addWidget(new QLabel(QStringLiteral("个"), this));
    bottom->addStretch();
    bottom->addWidget(closeButton);

    auto* layout = new QGridLayout(this);
    layout->addWidget(m_list, 0, 0);
    layout->addLayout(buttons, 0, 1);
    layout->addWidget(m_statusLabel, 1, 0, 1, 2);
    layout->addLayout(bottom, 2, 0, 1, 2);

    connect(backupNowButton, &QPushButton::clicked, this, &BackupDialog::backUpNow);
    connect(m_restoreButton, &QPushButton::clicked, this, &BackupDialog::restoreSelected);
    connect(folderButton, &QPushButton::clicked, this,
            [] { QDesktopServices::openUrl(QUrl::fromLocalFile(QDir(QStringLiteral("backup")).absolutePath())); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this,
            [this] { m_restoreButton->setEnabled(!m_list->selectedItems().isEmpty()); });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &BackupDialog::restoreSelected);
    refresh();
}

void BackupDialog::refresh(const QString& selectPath)
{
    m_list->clear();
    const QLocale locale(QLocale::Chinese, QLocale::China);
    for (const DatedBackup::Entry& entry : DatedBackup::list()) {
        auto* item = new QTreeWidgetItem(
            m_list, {entry.modified.toString(QStringLiteral("yyyy-MM-dd HH:mm")), QFileInfo(entry.path).fileName(),
                     locale.formattedDataSize(entry.size, 1, QLocale::DataSizeTraditionalFormat)});
        item->setData(0, Qt::UserRole, entry.path);
        item->setData(1, Qt::UserRole, entry.modified);
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        if (entry.beforeRestore)
            item->setToolTip(1, QStringLiteral("恢复前保存的数据"));
        if (entry.path == selectPath)
            m_list->setCurrentItem(item);
    }
    for (int column = 0; column < m_list->columnCount(); ++column)
        m_list->resizeColumnToContents(column);
    m_restoreButton->setEnabled(!m_list->selectedItems().isEmpty());
}

void BackupDialog::backUpNow()
{
    saveRetention();
    const QString made = DatedBackup::backupPath(m_state.clock.now().date());
    DatedBackup::Result result = DatedBackup::Result::Failed;
    {
        const WaitCursor wait;
        result = DatedBackup::makeNow(m_state.clock, m_state.databaseKey, m_state.preferences.keepBackups);
    }
    if (result != DatedBackup::Result::Made) {
        m_statusLabel->clear();
        m_prompter.showMessage(
            QStringLiteral("备份失败：无法读取数据库，或无法写入 backup 文件夹（也可能是磁盘已满）。"), kTitle);
        return;
    }
    refresh(made);
    m_statusLabel->setText(QStringLiteral("已备份到 backup 文件夹中的 %1。").arg(QFileInfo(made).fileName()));
}

void BackupDialog::restoreSelected()
{
    const QTreeWidgetItem* item = m_list->currentItem();
    if (!item)
        return;
    const QString path = item->data(0, Qt::UserRole).toString();
    BackupRestore::Result checked;
    {
        const WaitCursor wait;
        checked = BackupRestore::check(path, m_state.databaseKey);
    }
    if (checked.outcome != BackupRestore::Outcome::Done) {
        m_prompter.showMessage(checked.message, kTitle);
        return;
    }
    const QString made = item->data(1, Qt::UserRole).toDateTime().toString(QStringLiteral("yyyy年M月d日 HH:mm"));
    if (!m_prompter.confirm(QStringLiteral("确定要用 %1 的备份（%2）恢复数据吗？\r\n\r\n恢复前，当前数据会先保存到 "
                                           "backup 文件夹中。恢复后需要重新登录，用户名和密码是做此备份时的。")
                                .arg(made, item->text(1)),
                            QStringLiteral("恢复"), QStringLiteral("取消")))
        return;
    m_chosen = path;
    accept();
}

void BackupDialog::saveRetention()
{
    Preferences::Values values = m_state.preferences;
    values.keepBackups = m_keepSpinBox->value();
    if (values == m_state.preferences)
        return;
    try {
        Preferences::write(m_state.mainConnection, values);
    } catch (const DbError& error) {
        m_prompter.showMessage(SharedTexts::faultText(error.cause(), QStringLiteral("保存备份的保留个数失败！")),
                               kTitle);
        return;
    }
    m_state.preferences = Preferences::bounded(values);
}

void BackupDialog::done(int result)
{
    saveRetention();
    QDialog::done(result);
}

#include "records/CTivView.h"

#include <QLabel>
#include <QResizeEvent>

#include "app/AppState.h"
#include "records/AccountSummary.h"
#include "ui/Prompter.h"
#include "ui/Skin.h"

CTivView::CTivView(AppState& state, Prompter& prompter, QWidget* parent)
    : QWidget(parent), m_state(state), m_prompter(prompter), m_summaryLabel(new QLabel(this))
{
    setObjectName(QStringLiteral("tivView"));
    Skin::applyDialogSkin(this);
    setMinimumWidth(100);

    m_summaryLabel->setObjectName(QStringLiteral("summaryLabel"));
    m_summaryLabel->setWordWrap(true);
    m_summaryLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_summaryLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    const std::array<QString, 3> names = {QStringLiteral("filePanel"), QStringLiteral("dairyPanel"),
                                          QStringLiteral("pwdPanel")};
    for (std::size_t i = 0; i < m_modulePanels.size(); ++i) {
        auto* panel = new QWidget(this);
        panel->setObjectName(names[i]);
        panel->hide();
        m_modulePanels[i] = panel;
    }
    setWhatsThis(QStringLiteral("编辑区：显示并编辑在文件夹树中选中的记录；首页显示帐户的登录信息。"));
}

void CTivView::initialUpdate()
{
    refreshSummary();
}

void CTivView::refreshSummary()
{
    m_summaryLabel->setText(AccountSummary::text(m_state.user));
}

void CTivView::switchModule()
{
    if (m_state.currentModule == m_laidOut)
        return;
    m_laidOut = m_state.currentModule;
    applyLayout();
}

void CTivView::applyLayout()
{
    m_summaryLabel->setVisible(m_laidOut == ModuleKind::None);
    for (ModuleKind module : kAllModules)
        m_modulePanels[moduleIndex(module)]->setVisible(module == m_laidOut);
    arrange(size());
}

void CTivView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    arrange(event->size());
}

void CTivView::arrange(const QSize& size)
{
    // A view squeezed to almost nothing keeps its last arrangement.
    if (size.width() <= 50 && size.height() <= 30)
        return;
    m_summaryLabel->setGeometry(10, 20, size.width() - 20, 80);
    for (QWidget* panel : m_modulePanels)
        panel->setGeometry(0, 0, size.width(), size.height());
}

void CTivView::saveRecord() {}

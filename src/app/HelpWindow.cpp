#include "app/HelpWindow.h"

#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/Skin.h"
#include "ui/TivResources.h"

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window), m_browser(new QTextBrowser(this))
{
    TivResources::init();
    setWindowTitle(kTitle);
    setWindowIcon(TivResources::icon(QStringLiteral("tiv")));
    resize(640, 560);

    m_browser->setObjectName(QStringLiteral("helpBrowser"));
    m_browser->setFont(Skin::uiFont(10));
    m_browser->setOpenLinks(true);
    m_browser->setOpenExternalLinks(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
}

void HelpWindow::showTopic(const QString& anchor)
{
    QUrl page(TivResources::kHelpPage);
    page.setFragment(anchor);
    m_browser->setSource(page);
    show();
    raise();
    activateWindow();
}

QString HelpWindow::currentAnchor() const
{
    return m_browser->source().fragment();
}

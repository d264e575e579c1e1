#include "tree/CIndexView.h"

#include <QLabel>
#include <QResizeEvent>

#include "app/AppState.h"
#include "app/TivResources.h"
#include "tree/IndexTree.h"
#include "ui/Prompter.h"
#include "ui/Skin.h"

namespace {

const QColor kPaneBackground(247, 247, 255);
// A soft gradient band, so the caption reads as a title and not as a control.
const QString kCaptionStyle = QStringLiteral(
    "QLabel#captionLabel {"
    " color: rgb(44, 86, 86);"
    " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f7fbfd, stop:0.55 #e3eef4, stop:1 #cfe1ea);"
    " border: none; border-bottom: 1px solid #9fbccb; padding-left: 2px; }");

QString moduleName(ModuleKind module)
{
    switch (module) {
    case ModuleKind::File:
        return QStringLiteral("file");
    case ModuleKind::Dairy:
        return QStringLiteral("dairy");
    case ModuleKind::Pwd:
        return QStringLiteral("pwd");
    case ModuleKind::None:
        break;
    }
    return {};
}

} // namespace

CIndexView::CIndexView(AppState& state, Prompter& prompter, QWidget* parent)
    : QWidget(parent), m_state(state), m_prompter(prompter), m_captionBand(new QLabel(kHomeCaption, this))
{
    setObjectName(QStringLiteral("indexView"));
    QPalette colours = palette();
    colours.setColor(QPalette::Window, kPaneBackground);
    setPalette(colours);
    setAutoFillBackground(true);
    setMinimumWidth(60);

    m_captionBand->setObjectName(QStringLiteral("captionLabel"));
    m_captionBand->setFont(Skin::uiFont(12));
    m_captionBand->setStyleSheet(kCaptionStyle);
    m_captionBand->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    const std::array<QString, 3> names = {QStringLiteral("fileTree"), QStringLiteral("dairyTree"),
                                          QStringLiteral("pwdTree")};
    for (std::size_t i = 0; i < m_trees.size(); ++i) {
        auto* tree = new IndexTree(this);
        tree->setObjectName(names[i]);
        tree->setFont(Skin::uiFont(10));
        tree->hide(); // nothing is visible until the main window picks a module
        m_trees[i] = tree;
    }
    loadImages();
    setWhatsThis(QStringLiteral("文件夹树：显示当前模块的文件夹和记录。选中一项，右边即显示该记录。"));
}

void CIndexView::loadImages()
{
    for (ModuleKind module : kAllModules) {
        auto& images = m_images[moduleIndex(module)];
        for (int index = 0; index < kImageCount; ++index)
            images[static_cast<std::size_t>(index)] =
                TivResources::icon(QStringLiteral("tree-%1-%2").arg(moduleName(module)).arg(index));
    }
}

void CIndexView::setCaption(const QString& caption)
{
    m_captionBand->setText(caption);
}

QString CIndexView::caption() const
{
    return m_captionBand->text();
}

void CIndexView::ShowModuleTree()
{
    const ModuleKind current = m_state.currentModule;
    if (current != ModuleKind::None && !m_trees[moduleIndex(current)]->isHidden())
        return;
    for (ModuleKind module : kAllModules)
        m_trees[moduleIndex(module)]->setVisible(module == current);
}

QTreeWidget* CIndexView::tree(ModuleKind module) const
{
    return module == ModuleKind::None ? nullptr : m_trees[moduleIndex(module)];
}

QIcon CIndexView::treeImage(ModuleKind module, int index) const
{
    if (module == ModuleKind::None || index < 0 || index >= kImageCount)
        return {};
    return m_images[moduleIndex(module)][static_cast<std::size_t>(index)];
}

void CIndexView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const QSize size = event->size();
    // A pane squeezed to almost nothing keeps its last arrangement.
    if (size.width() <= 10 && size.height() <= 20)
        return;
    m_captionBand->setGeometry(0, 0, size.width(), kCaptionHeight);
    // The trees overlap the band's bottom line by one pixel so the two share a border.
    for (QTreeWidget* tree : m_trees)
        tree->setGeometry(0, kCaptionHeight - 1, size.width() - 1, size.height() - (kCaptionHeight - 1));
}

void CIndexView::addSiblingFolder() {}
void CIndexView::addChildFolder() {}
void CIndexView::addRecord() {}
void CIndexView::deleteSelected() {}
void CIndexView::moveToTop() {}
void CIndexView::moveUp() {}
void CIndexView::moveDown() {}
void CIndexView::moveToBottom() {}

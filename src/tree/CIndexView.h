#pragma once

#include <QIcon>
#include <QString>
#include <QWidget>

#include <array>

#include "storage/ModuleKind.h"

class QLabel;
class QTreeWidget;
class Prompter;
struct AppState;

// The left pane of the main window: a caption band over three stacked trees, one per module, of
// which only the current module's is visible.
class CIndexView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CIndexView)

public:
    static constexpr int kImageCount = 6;
    static constexpr int kCaptionHeight = 29;

    CIndexView(AppState& state, Prompter& prompter, QWidget* parent = nullptr);

    // The caption band's text (control 4006).
    void setCaption(const QString& caption);
    QString caption() const;

    // Makes the current module's tree the visible one; an empty module hides all three. Changes
    // nothing when that tree is visible already, so switching back and forth never disturbs a tree.
    void ShowModuleTree();

    QTreeWidget* tree(ModuleKind module) const;
    // Image 0 level-1 folder, 1 deeper folder, 2 record; 3 to 5 the same marked "重要".
    QIcon treeImage(ModuleKind module, int index) const;

    static inline const QString kHomeCaption = QStringLiteral(" 管理中心");

public slots:
    // The folder and record commands of the edit menu. The tree operations behind them arrive with
    // the tree loading; until then there is nothing in the trees to act on.
    void addSiblingFolder();
    void addChildFolder();
    void addRecord();
    void deleteSelected();
    void moveToTop();
    void moveUp();
    void moveDown();
    void moveToBottom();

signals:
    // An outcome text for the message pane of the main window's status bar.
    void statusMessage(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void loadImages();

    AppState& m_state;
    Prompter& m_prompter;
    QLabel* m_captionBand;
    std::array<QTreeWidget*, 3> m_trees{};
    std::array<std::array<QIcon, kImageCount>, 3> m_images;
};

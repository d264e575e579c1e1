#pragma once

#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <utility>

#include "app/RecordSearch.h"
#include "state/ModuleKind.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
struct AppState;

// The search box above the tree and the list of what it found. Typing searches the current module (or all
// three with the switch); hits come in while the search runs, and each keystroke cancels the search before.
class SearchPane final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SearchPane)

public:
    using KnownKeys = std::map<std::pair<ModuleKind, int>, QString>;

    explicit SearchPane(AppState& state, QWidget* parent = nullptr);
    ~SearchPane() override;

    // The custom keys in memory (of records open in the editor), asked for at each search.
    void setKnownKeys(std::function<KnownKeys()> keys) { m_knownKeys = std::move(keys); }
    // Ctrl+F: the box takes the focus with its text selected.
    void focusSearch();

    QLineEdit* searchEdit() const { return m_edit; }
    QListWidget* resultsView() const { return m_results; }

    static inline const QString kAllModulesText = QStringLiteral("全部模块");
    static inline const QString kCustomKeyText = QStringLiteral("自设密钥");

signals:
    // A hit was chosen: show the record in the editor and select it in the tree.
    void openRequested(ModuleKind module, int id);
    // Esc: back to the tree.
    void leaveRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ensureSearch();
    void showResults(bool shown);
    void runSearch();
    void addHits(quint64 generation, const QList<SearchHit>& hits);
    void finish(quint64 generation, bool complete);
    void openItem(int row);

    AppState& m_state;
    QLineEdit* m_edit;
    QCheckBox* m_allModules;
    QListWidget* m_results;
    QLabel* m_countLabel;
    std::unique_ptr<RecordSearch> m_search;
    int m_searchGeneration = 0;
    std::function<KnownKeys()> m_knownKeys;
    quint64 m_generation = 0;
};

#include "app/SearchPane.h"

#include <QAbstractTextDocumentLayout>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <QVBoxLayout>

#include "state/AppState.h"

namespace {

constexpr int kModuleRole = Qt::UserRole;
constexpr int kIdRole = Qt::UserRole + 1;
constexpr int kHtmlRole = Qt::UserRole + 2;

// A hit in two lines: the caption with where it is, then the snippet with the match marked.
QString hitHtml(const SearchHit& hit)
{
    QStringList where{moduleInfo(hit.module).barText};
    if (!hit.folderPath.isEmpty())
        where.append(hit.folderPath);
    if (hit.captionOnly)
        where.append(SearchPane::kCustomKeyText);
    const QString before = hit.snippet.left(hit.matchStart).toHtmlEscaped();
    const QString match = hit.snippet.mid(hit.matchStart, hit.matchLength).toHtmlEscaped();
    const QString after = hit.snippet.mid(hit.matchStart + hit.matchLength).toHtmlEscaped();
    return QStringLiteral("<b>%1</b> <span style=\"color:#707070\">%2</span><br>%3<span "
                          "style=\"background-color:#ffe066\">%4</span>%5")
        .arg(hit.caption.toHtmlEscaped(), where.join(QStringLiteral(" · ")).toHtmlEscaped(), before, match, after);
}

class HitDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        item.text.clear();
        item.widget->style()->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);
        QTextDocument document;
        prepare(document, option, index);
        painter->save();
        painter->translate(option.rect.topLeft());
        painter->setClipRect(QRect(QPoint(), option.rect.size()));
        document.drawContents(painter);
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QTextDocument document;
        prepare(document, option, index);
        return {option.rect.width(), static_cast<int>(document.size().height())};
    }

private:
    static void prepare(QTextDocument& document, const QStyleOptionViewItem& option, const QModelIndex& index)
    {
        document.setDefaultFont(option.font);
        document.setDocumentMargin(3);
        // One line each, cut at the pane's edge: the snippet is long enough to be cut anywhere.
        QTextOption wrap;
        wrap.setWrapMode(QTextOption::NoWrap);
        document.setDefaultTextOption(wrap);
        document.setHtml(index.data(kHtmlRole).toString());
    }
};

} // namespace

SearchPane::SearchPane(AppState& state, QWidget* parent)
    : QWidget(parent), m_state(state), m_edit(new QLineEdit(this)), m_allModules(new QCheckBox(kAllModulesText, this)),
      m_results(new QListWidget(this)), m_countLabel(new QLabel(this))
{
    setObjectName(QStringLiteral("searchPane"));
    m_edit->setObjectName(QStringLiteral("searchEdit"));
    m_edit->setPlaceholderText(QStringLiteral("搜索 (Ctrl+F)"));
    m_edit->setClearButtonEnabled(true);
    m_allModules->setObjectName(QStringLiteral("allModulesCheck"));
    m_results->setObjectName(QStringLiteral("resultsView"));
    m_results->setItemDelegate(new HitDelegate(m_results));
    m_results->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_results->setUniformItemSizes(true);
    m_countLabel->setObjectName(QStringLiteral("resultCountLabel"));

    auto* box = new QHBoxLayout;
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(m_edit, 1);
    box->addWidget(m_allModules);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addLayout(box);
    layout->addWidget(m_results, 1);
    layout->addWidget(m_countLabel);
    showResults(false);

    connect(m_edit, &QLineEdit::textChanged, this, &SearchPane::runSearch);
    connect(m_allModules, &QCheckBox::toggled, this, &SearchPane::runSearch);
    connect(m_results, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { openItem(m_results->row(item)); });
    connect(m_results, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { openItem(m_results->row(item)); });
    m_edit->installEventFilter(this);
    m_results->installEventFilter(this);
}

SearchPane::~SearchPane() = default;

void SearchPane::focusSearch()
{
    m_edit->setFocus(Qt::ShortcutFocusReason);
    m_edit->selectAll();
    ensureSearch();
    m_search->prepare();
}

void SearchPane::ensureSearch()
{
    // A conversion put another file, with another key, in the database's place: the workers' connections
    // to the one before go with their search.
    if (m_search && m_searchGeneration == m_state.databaseGeneration)
        return;
    m_search.reset();
    m_search = std::make_unique<RecordSearch>(m_state.mainConnection.filePath(), m_state.databaseKey.clone());
    m_searchGeneration = m_state.databaseGeneration;
}

void SearchPane::showResults(bool shown)
{
    m_results->setVisible(shown);
    m_countLabel->setVisible(shown);
    // Without a list the pane is only as tall as its box; with one it shares the height with the tree.
    setSizePolicy(QSizePolicy::Preferred, shown ? QSizePolicy::Expanding : QSizePolicy::Maximum);
}

void SearchPane::runSearch()
{
    m_results->clear();
    const QString text = m_edit->text().trimmed();
    showResults(!text.isEmpty());
    if (!m_search && text.isEmpty())
        return;
    ensureSearch();
    connect(m_search.get(), &RecordSearch::hitsFound, this, &SearchPane::addHits, Qt::UniqueConnection);
    connect(m_search.get(), &RecordSearch::finished, this, &SearchPane::finish, Qt::UniqueConnection);
    SearchQuery query{text, {}, m_state.user.id, m_state.user.dataKey, m_knownKeys ? m_knownKeys() : KnownKeys()};
    const ModuleKind current = m_state.currentModule;
    if (m_allModules->isChecked() || current == ModuleKind::None)
        query.modules.assign(kAllModules.begin(), kAllModules.end());
    else
        query.modules = {current};
    m_countLabel->setText(QStringLiteral("正在搜索…"));
    m_generation = m_search->start(std::move(query));
}

void SearchPane::addHits(quint64 generation, const QList<SearchHit>& hits)
{
    if (generation != m_generation)
        return;
    for (const SearchHit& hit : hits) {
        auto* item = new QListWidgetItem(m_results);
        item->setData(kModuleRole, static_cast<int>(hit.module));
        item->setData(kIdRole, hit.id);
        item->setData(kHtmlRole, hitHtml(hit));
        item->setToolTip(hit.caption);
    }
    m_countLabel->setText(QStringLiteral("正在搜索… 已找到 %1 条").arg(m_results->count()));
}

void SearchPane::finish(quint64 generation, bool complete)
{
    if (generation != m_generation)
        return;
    if (complete)
        m_countLabel->setText(QStringLiteral("找到 %1 条").arg(m_results->count()));
    else
        m_countLabel->setText(QStringLiteral("只列出前 %1 条，请输入更多文字").arg(m_results->count()));
}

void SearchPane::openItem(int row)
{
    const QListWidgetItem* item = m_results->item(row);
    if (!item)
        return;
    m_results->setCurrentRow(row);
    Q_EMIT openRequested(static_cast<ModuleKind>(item->data(kModuleRole).toInt()), item->data(kIdRole).toInt());
}

bool SearchPane::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Escape) {
        showResults(false);
        Q_EMIT leaveRequested();
        return true;
    }
    if (watched == m_edit && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
        openItem(std::max(m_results->currentRow(), 0));
        return true;
    }
    if (watched == m_edit && key == Qt::Key_Down && m_results->count() > 0) {
        m_results->setFocus(Qt::TabFocusReason);
        m_results->setCurrentRow(0);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

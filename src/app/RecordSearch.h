#pragma once

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "state/ModuleKind.h"
#include "storage/DatabaseKey.h"

// One row a search found.
struct SearchHit {
    ModuleKind module = ModuleKind::None;
    int id = 0;
    bool folder = false;
    QString caption;
    QString folderPath; // the captions of the folders it is in, outermost first, joined by " / "
    QString snippet;    // the text around the match, on one line
    qsizetype matchStart = 0;
    qsizetype matchLength = 0;
    bool captionOnly = false; // a custom key kept everything but the caption from the search
};
Q_DECLARE_METATYPE(SearchHit)

struct SearchQuery {
    QString text;
    std::vector<ModuleKind> modules; // searched in this order
    QString userId;
    QString dataKey;
    // Records with a custom key whose key is in memory (open in the editor): searched in full.
    std::map<std::pair<ModuleKind, int>, QString> knownKeys;
};

// Searches every caption, summary, account field (but the password itself, which no snippet may show) and body of the
// user's records on worker threads, each with a connection of its own, reading rows in id ranges so that one row at a
// time is held decrypted. A body is read through the plain-text copy a save keeps beside it, where that copy is still
// the body's (see Schema::bodyTextTable), else as its RTF. Hits come in batches through hitsFound; a new search, or
// cancel, stops the one before at its next row. Nothing decrypted is written anywhere.
class RecordSearch final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RecordSearch)

public:
    static constexpr int kThreads = 2;
    // Past this many hits a search stops: a list longer than that helps nobody find anything.
    static constexpr int kMaxHits = 500;

    RecordSearch(QString databasePath, DatabaseKey key, QObject* parent = nullptr);
    ~RecordSearch() override;

    // Opens the workers' connections ahead of the first search (each open derives the key, about 50 ms).
    void prepare();
    // Starts the search, cancelling the one before; returns its generation. An empty text only cancels.
    quint64 start(SearchQuery query);
    void cancel();
    quint64 generation() const { return m_generation.load(); }

    static inline const QString kPathSeparator = QStringLiteral(" / ");

signals:
    void hitsFound(quint64 generation, const QList<SearchHit>& hits);
    // Every row was read, the hit limit was reached or the search failed; not sent for a cancelled search.
    void finished(quint64 generation, bool complete);

private:
    struct Job;
    void run(int worker);
    void work(Job& job, class SearchWorker& worker);
    void startThreads();

    QString m_databasePath;
    DatabaseKey m_key;
    std::atomic<quint64> m_generation{0};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::shared_ptr<Job> m_job;
    bool m_stopping = false;
    bool m_prepare = false;
    std::vector<std::thread> m_threads;
};

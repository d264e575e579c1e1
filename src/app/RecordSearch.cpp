#include "app/RecordSearch.h"

#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

#include <algorithm>
#include <unordered_map>

#include <QElapsedTimer>

#include "crypto/TextCipher.h"
#include "records/RtfPlainText.h"
#include "records/SearchFolding.h"
#include "storage/CDbConnection.h"
#include "storage/DbError.h"
#include "storage/Schema.h"
#include "storage/Statement.h"
#include "tree/FolderPath.h"

namespace {

// Ids per statement, read by the primary key (the unary plus keeps the user index out of it): small enough that the
// first hits come at once, large enough that statements cost little.
constexpr int kChunkIds = 512;
// Hits wait at most this long on a worker before they are sent.
constexpr qint64 kBatchMs = 30;
constexpr int kBatchHits = 64;
// Characters of context a snippet shows before the match, and its whole length.
constexpr qsizetype kSnippetBefore = 12;
constexpr qsizetype kSnippetLength = 60;

struct Chunk {
    ModuleKind module;
    qint64 from; // inclusive
    qint64 to;   // exclusive
};

QByteArray blobOf(sqlite3_stmt* statement, int column)
{
    const void* data = sqlite3_column_blob(statement, column);
    const int size = sqlite3_column_bytes(statement, column);
    return data ? QByteArray::fromRawData(static_cast<const char*>(data), size) : QByteArray();
}

QString textOf(sqlite3_stmt* statement, int column)
{
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return data ? QString::fromUtf8(data, sqlite3_column_bytes(statement, column)) : QString();
}

SearchHit snippetHit(QStringView text, qsizetype at, qsizetype length)
{
    SearchHit hit;
    qsizetype start = std::max<qsizetype>(0, at - kSnippetBefore);
    if (start > 0 && text[start].isLowSurrogate())
        --start;
    QString snippet = text.mid(start, std::max(kSnippetLength, at - start + length)).toString();
    for (QChar& c : snippet) {
        if (c == u'\n' || c == u'\r' || c == u'\t' || c == QChar(0x2028))
            c = u' ';
    }
    hit.snippet = snippet;
    hit.matchStart = at - start;
    hit.matchLength = length;
    return hit;
}

} // namespace

struct RecordSearch::Job {
    Job(quint64 gen, SearchQuery q) : generation(gen), query(std::move(q)), matcher(query.text) {}

    const quint64 generation;
    const SearchQuery query;
    const SearchFolding::Matcher matcher;
    std::once_flag planned;
    std::vector<Chunk> chunks;
    std::map<ModuleKind, QString> bodyTexts; // the modules whose bodies have plain-text copies, and their table
    std::atomic<std::size_t> nextChunk{0};
    std::atomic<int> hits{0};
    std::atomic<int> running{kThreads};
    std::atomic<bool> failed{false};
    std::atomic<bool> limited{false};
};

// What one worker thread keeps: its connection, its cipher with its key schedule, and buffers.
class SearchWorker final {
public:
    CDbConnection connection;
    AesCipher cipher;
    RtfPlainText rtf;
    QString folded;
    // Per module of the current job: the caption of each folder, by the path segments that name it.
    std::map<ModuleKind, std::unordered_map<QString, QString>> folders;
    QList<SearchHit> batch;
    QElapsedTimer sinceSent;
    bool sentAny = false;
};

RecordSearch::RecordSearch(QString databasePath, DatabaseKey key, QObject* parent)
    : QObject(parent), m_databasePath(std::move(databasePath)), m_key(std::move(key))
{
    qRegisterMetaType<SearchHit>();
    qRegisterMetaType<QList<SearchHit>>();
}

RecordSearch::~RecordSearch()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        ++m_generation;
    }
    m_wake.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
}

void RecordSearch::startThreads()
{
    if (!m_threads.empty())
        return;
    for (int i = 0; i < kThreads; ++i)
        m_threads.emplace_back([this, i] { run(i); });
}

void RecordSearch::prepare()
{
    {
        std::lock_guard lock(m_mutex);
        m_prepare = true;
        startThreads();
    }
    m_wake.notify_all();
}

quint64 RecordSearch::start(SearchQuery query)
{
    quint64 generation = 0;
    {
        std::lock_guard lock(m_mutex);
        generation = ++m_generation;
        if (query.text.isEmpty() || query.modules.empty()) {
            m_job.reset();
            return generation;
        }
        m_job = std::make_shared<Job>(generation, std::move(query));
        startThreads();
    }
    m_wake.notify_all();
    return generation;
}

void RecordSearch::cancel()
{
    std::lock_guard lock(m_mutex);
    ++m_generation;
    m_job.reset();
}

void RecordSearch::run(int)
{
    SearchWorker worker;
    bool opened = false;
    quint64 seen = 0;
    for (;;) {
        std::shared_ptr<Job> job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock,
                        [&] { return m_stopping || (m_job && m_job->generation != seen) || (m_prepare && !opened); });
            if (m_stopping)
                return;
            job = m_job;
        }
        if (!opened)
            opened = m_key.open(worker.connection, m_databasePath);
        if (!job || job->generation == seen)
            continue;
        seen = job->generation;
        if (opened)
            work(*job, worker);
        else
            job->failed = true;
        if (--job->running == 0 && m_generation.load() == job->generation)
            Q_EMIT finished(job->generation, !job->failed && !job->limited);
    }
}

void RecordSearch::work(Job& job, SearchWorker& worker)
{
    const SearchQuery& query = job.query;
    const auto cancelled = [&] {
        return m_generation.load(std::memory_order_relaxed) != job.generation;
    };
    const auto stopped = [&] {
        return job.limited.load(std::memory_order_relaxed) || cancelled();
    };
    worker.folders.clear();
    worker.batch.clear();
    worker.sentAny = false;
    worker.sinceSent.start();
    const auto send = [&](bool force) {
        if (worker.batch.isEmpty() || cancelled())
            return;
        if (force || !worker.sentAny || worker.batch.size() >= kBatchHits || worker.sinceSent.elapsed() >= kBatchMs) {
            Q_EMIT hitsFound(job.generation, worker.batch);
            worker.batch.clear();
            worker.sentAny = true;
            worker.sinceSent.restart();
        }
    };
    try {
        std::call_once(job.planned, [&] {
            for (ModuleKind module : query.modules) {
                const QString bodyTexts = Schema::bodyTextTable(moduleTable(module));
                if (!bodyTexts.isEmpty() && Schema::hasTable(worker.connection, bodyTexts))
                    job.bodyTexts[module] = bodyTexts;
                Statement range(worker.connection.handle(),
                                QStringLiteral("SELECT min(id), max(id) FROM %1").arg(moduleTable(module)));
                if (!range.step() || sqlite3_column_type(range.handle(), 0) == SQLITE_NULL)
                    continue;
                const qint64 last = sqlite3_column_int64(range.handle(), 1);
                for (qint64 from = sqlite3_column_int64(range.handle(), 0); from <= last; from += kChunkIds)
                    job.chunks.push_back({module, from, from + kChunkIds});
            }
        });
        for (;;) {
            const std::size_t index = job.nextChunk++;
            if (index >= job.chunks.size() || stopped())
                break;
            const Chunk& chunk = job.chunks[index];
            const ModuleKind module = chunk.module;
            const QString table = moduleTable(module);
            auto folders = worker.folders.find(module);
            if (folders == worker.folders.end()) {
                folders = worker.folders.emplace(module, std::unordered_map<QString, QString>()).first;
                // Read through the tree's index, which holds the path and the caption: no body is touched.
                Statement rows(worker.connection.handle(),
                               QStringLiteral("SELECT parentId, mCaption FROM %1 WHERE userId=? AND "
                                              "substr(parentId, 26, 1)='0'")
                                   .arg(table));
                rows.bind(1, query.userId);
                while (rows.step()) {
                    const QString path = textOf(rows.handle(), 0);
                    folders->second[path.left(FolderPath::ClassifyPath(path).level * FolderPath::kSegmentLength)] =
                        TextCipher::DecryptText(worker.cipher, query.dataKey, blobOf(rows.handle(), 1));
                }
            }
            const bool pwd = module == ModuleKind::Pwd;
            const auto bodyTexts = job.bodyTexts.find(module);
            // A body is read as its plain-text copy where it has one that still belongs to it, else as its RTF:
            // the copy spares the RTF's overflow pages, which length() and updateTime, before it in the row, do
            // not touch.
            Statement rows(worker.connection.handle(),
                           pwd ? QStringLiteral("SELECT id, parentId, myKey, mCaption, userName, url, intro FROM %1 "
                                                "WHERE id>=? AND id<? AND +userId=?")
                                     .arg(table)
                           : bodyTexts == job.bodyTexts.end()
                               ? QStringLiteral("SELECT id, parentId, myKey, mCaption, mTitle, NULL, mContent FROM %1 "
                                                "WHERE id>=? AND id<? AND +userId=?")
                                     .arg(table)
                               : QStringLiteral("SELECT r.id, r.parentId, r.myKey, r.mCaption, r.mTitle, c.mText, "
                                                "CASE WHEN c.id IS NULL THEN r.mContent END FROM %1 r "
                                                "LEFT JOIN %2 c ON c.id=r.id AND c.updateTime IS r.updateTime "
                                                "AND c.bodyLength IS length(r.mContent) "
                                                "WHERE r.id>=? AND r.id<? AND +r.userId=?")
                                     .arg(table, bodyTexts->second));
            rows.bind(1, chunk.from);
            rows.bind(2, chunk.to);
            rows.bind(3, query.userId);
            sqlite3_stmt* row = rows.handle();
            while (rows.step()) {
                if (stopped())
                    break;
                const int id = sqlite3_column_int(row, 0);
                const QString path = textOf(row, 1);
                const bool folder = path.endsWith(u'0');
                const int level = sqlite3_column_int(row, 2);
                const QString caption = TextCipher::DecryptText(worker.cipher, query.dataKey, blobOf(row, 3));
                QString key = query.dataKey;
                bool captionOnly = false;
                if (level != 0 && !folder) {
                    const auto known = query.knownKeys.find({module, id});
                    captionOnly = known == query.knownKeys.end();
                    if (!captionOnly)
                        key = known->second;
                }
                SearchHit hit;
                bool found = false;
                if (const qsizetype at = job.matcher.find(caption, worker.folded); at >= 0) {
                    hit = snippetHit(caption, at, job.matcher.length());
                    found = true;
                }
                if (!found && !folder && !captionOnly) {
                    // Account fields, or the summary, the body's copy and the body's RTF (one of the last two).
                    for (int field = 0; field < 3 && !found; ++field) {
                        const QByteArray stored = blobOf(row, 4 + field);
                        if (stored.isEmpty())
                            continue;
                        const QString text =
                            pwd || field < 2 ? TextCipher::DecryptText(worker.cipher, key, stored)
                                             : worker.rtf.text(TextCipher::DecryptBytes(worker.cipher, key, stored));
                        if (const qsizetype at = job.matcher.find(text, worker.folded); at >= 0) {
                            hit = snippetHit(text, at, job.matcher.length());
                            found = true;
                        }
                    }
                }
                if (!found)
                    continue;
                if (job.hits.fetch_add(1) >= kMaxHits) {
                    job.limited = true; // ends the search on every worker
                    break;
                }
                hit.module = module;
                hit.id = id;
                hit.folder = folder;
                hit.caption = caption;
                hit.captionOnly = captionOnly;
                const int depth = FolderPath::ClassifyPath(path).level - (folder ? 1 : 0);
                QStringList names;
                for (int l = 1; l <= depth; ++l)
                    names.append(folders->second.count(path.left(l * FolderPath::kSegmentLength))
                                     ? folders->second.at(path.left(l * FolderPath::kSegmentLength))
                                     : QString());
                hit.folderPath = names.join(kPathSeparator);
                worker.batch.append(hit);
                send(false);
            }
            send(true);
        }
    } catch (const DbError&) {
        job.failed = true;
    }
    send(true);
}

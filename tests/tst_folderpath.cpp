// Folder paths: classification, the counters, the record paths and the subtree prefixes.
#include <QtTest>

#include "storage/CDbConnection.h"
#include "storage/FieldConversions.h"
#include "storage/Recordset.h"
#include "storage/Schema.h"
#include "support/TestSupport.h"
#include "tree/FolderPath.h"

using namespace FolderPath;
using Kind = Classification::Kind;
using Result = Allocation::Result;

Q_DECLARE_METATYPE(FolderPath::Classification)

namespace {

// Segments written apart for reading; the stored path has no spaces.
QString p(const char* spaced)
{
    return QString::fromLatin1(spaced).remove(QLatin1Char(' '));
}

int counter(CDbConnection& db, const char* module, int level)
{
    Recordset rs;
    db.OpenRecordset(rs, QStringLiteral("SELECT * FROM tb_FolderMax WHERE mModule=?"), {QString::fromLatin1(module)});
    return FieldConversions::toInt(rs.field(QStringLiteral("folder%1").arg(level)));
}

void setCounter(CDbConnection& db, const char* module, int level, int value)
{
    db.execute(QStringLiteral("UPDATE tb_FolderMax SET folder%1=? WHERE mModule=?").arg(level),
               {value, QString::fromLatin1(module)});
}

} // namespace

class FolderPathTest : public QObject {
    Q_OBJECT

    TempWorkDir* m_work = nullptr;
    CDbConnection m_db;

private slots:
    void init()
    {
        m_work = new TempWorkDir;
        QVERIFY(m_db.OpenConnection(Schema::kConnectionString));
    }

    void cleanup()
    {
        m_db.CloseConnection();
        delete m_work;
    }

    void classifiesEveryKindOfPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<Classification>("expected");
        QTest::newRow("root record") << p("99999 99999 99999 99999 99999 9") << Classification{Kind::RootRecord, 0};
        QTest::newRow("folder 1") << p("10001 00000 00000 00000 00000 0") << Classification{Kind::Folder, 1};
        QTest::newRow("record in 1") << p("10001 99999 99999 99999 99999 9") << Classification{Kind::Record, 1};
        QTest::newRow("folder 2") << p("10001 10002 00000 00000 00000 0") << Classification{Kind::Folder, 2};
        QTest::newRow("record in 2") << p("10001 10002 99999 99999 99999 9") << Classification{Kind::Record, 2};
        QTest::newRow("folder 3") << p("10001 10002 10003 00000 00000 0") << Classification{Kind::Folder, 3};
        QTest::newRow("record in 3") << p("10001 10002 10003 99999 99999 9") << Classification{Kind::Record, 3};
        QTest::newRow("folder 4") << p("10001 10002 10003 10004 00000 0") << Classification{Kind::Folder, 4};
        QTest::newRow("record in 4") << p("10001 10002 10003 10004 99999 9") << Classification{Kind::Record, 4};
        QTest::newRow("folder 5") << p("10001 10002 10003 10004 10005 0") << Classification{Kind::Folder, 5};
        QTest::newRow("record in 5") << p("10001 10002 10003 10004 10005 9") << Classification{Kind::Record, 5};
        QTest::newRow("last number") << p("99998 99998 99998 99998 99998 0") << Classification{Kind::Folder, 5};
    }

    void classifiesEveryKindOfPath()
    {
        QFETCH(QString, path);
        QFETCH(Classification, expected);
        QCOMPARE(ClassifyPath(path), expected);
    }

    void siblingFolders_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("reference");
        QTest::addColumn<QString>("expected"); // empty: refused
        QTest::newRow("nothing selected")
            << 1 << p("10000 10000 10000 10000 10000 0") << p("10001 00000 00000 00000 00000 0");
        QTest::newRow("folder 1") << 1 << p("10007 00000 00000 00000 00000 0") << p("10001 00000 00000 00000 00000 0");
        QTest::newRow("root record") << 99 << p("99999 99999 99999 99999 99999 9")
                                     << p("10001 00000 00000 00000 00000 0");
        QTest::newRow("folder 2") << 2 << p("10007 10008 00000 00000 00000 0") << p("10007 10001 00000 00000 00000 0");
        QTest::newRow("record in 1") << 10 << p("10007 99999 99999 99999 99999 9")
                                     << p("10007 10001 00000 00000 00000 0");
        QTest::newRow("folder 3") << 3 << p("10007 10008 10009 00000 00000 0") << p("10007 10008 10001 00000 00000 0");
        QTest::newRow("record in 2") << 20 << p("10007 10008 99999 99999 99999 9")
                                     << p("10007 10008 10001 00000 00000 0");
        QTest::newRow("folder 4") << 4 << p("10007 10008 10009 10010 00000 0") << p("10007 10008 10009 10001 00000 0");
        QTest::newRow("record in 3") << 30 << p("10007 10008 10009 99999 99999 9")
                                     << p("10007 10008 10009 10001 00000 0");
        QTest::newRow("folder 5") << 5 << p("10007 10008 10009 10010 10011 0") << p("10007 10008 10009 10010 10001 0");
        QTest::newRow("record in 4") << 40 << p("10007 10008 10009 10010 99999 9")
                                     << p("10007 10008 10009 10010 10001 0");
        QTest::newRow("record in 5") << 50 << p("10007 10008 10009 10010 10011 9") << QString();
        QTest::newRow("unknown type") << 7 << p("10007 00000 00000 00000 00000 0") << QString();
    }

    void siblingFolders()
    {
        QFETCH(int, type);
        QFETCH(QString, reference);
        QFETCH(QString, expected);
        const Allocation allocation = AllocateSiblingFolder(m_db, ModuleKind::File, reference, type);
        if (expected.isEmpty()) {
            QCOMPARE(allocation.result, Result::Failed);
            for (int level = 1; level <= 5; ++level)
                QCOMPARE(counter(m_db, "FILE", level), 10000);
            return;
        }
        QCOMPARE(allocation.result, Result::Allocated);
        QCOMPARE(allocation.path, expected);
        QCOMPARE(ClassifyPath(allocation.path), (Classification{Kind::Folder, allocation.level}));
        QCOMPARE(counter(m_db, "FILE", allocation.level), 10001);
    }

    void childFolders_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("reference");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("under");
        QTest::newRow("folder 1") << 1 << p("10007 00000 00000 00000 00000 0") << p("10007 10001 00000 00000 00000 0")
                                  << true;
        QTest::newRow("folder 2") << 2 << p("10007 10008 00000 00000 00000 0") << p("10007 10008 10001 00000 00000 0")
                                  << true;
        QTest::newRow("folder 3") << 3 << p("10007 10008 10009 00000 00000 0") << p("10007 10008 10009 10001 00000 0")
                                  << true;
        QTest::newRow("folder 4") << 4 << p("10007 10008 10009 10010 00000 0") << p("10007 10008 10009 10010 10001 0")
                                  << true;
        QTest::newRow("folder 5 gets a sibling")
            << 5 << p("10007 10008 10009 10010 10011 0") << p("10007 10008 10009 10010 10001 0") << false;
        QTest::newRow("record in 1") << 10 << p("10007 99999 99999 99999 99999 9")
                                     << p("10007 10001 00000 00000 00000 0") << false;
        QTest::newRow("record in 2") << 20 << p("10007 10008 99999 99999 99999 9")
                                     << p("10007 10008 10001 00000 00000 0") << false;
        QTest::newRow("record in 3") << 30 << p("10007 10008 10009 99999 99999 9")
                                     << p("10007 10008 10009 10001 00000 0") << false;
        QTest::newRow("record in 4") << 40 << p("10007 10008 10009 10010 99999 9")
                                     << p("10007 10008 10009 10010 10001 0") << false;
        QTest::newRow("root record") << 99 << p("99999 99999 99999 99999 99999 9")
                                     << p("10001 00000 00000 00000 00000 0") << false;
        QTest::newRow("record in 5") << 50 << p("10007 10008 10009 10010 10011 9") << QString() << false;
        QTest::newRow("unknown type") << 0 << p("10007 00000 00000 00000 00000 0") << QString() << false;
    }

    void childFolders()
    {
        QFETCH(int, type);
        QFETCH(QString, reference);
        QFETCH(QString, expected);
        QFETCH(bool, under);
        const Allocation allocation = AllocateChildFolder(m_db, ModuleKind::Dairy, reference, type);
        if (expected.isEmpty()) {
            QCOMPARE(allocation.result, Result::Failed);
            return;
        }
        QCOMPARE(allocation.result, Result::Allocated);
        QCOMPARE(allocation.path, expected);
        QCOMPARE(allocation.underReference, under);
        QCOMPARE(counter(m_db, "DAIRY", allocation.level), 10001);
        QCOMPARE(counter(m_db, "FILE", allocation.level), 10000); // the other modules count on their own
    }

    void recordPaths_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("reference");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("expectedType");
        QTest::addColumn<bool>("under");
        QTest::newRow("folder 1") << 1 << p("10007 00000 00000 00000 00000 0") << p("10007 99999 99999 99999 99999 9")
                                  << 10 << true;
        QTest::newRow("folder 2") << 2 << p("10007 10008 00000 00000 00000 0") << p("10007 10008 99999 99999 99999 9")
                                  << 20 << true;
        QTest::newRow("folder 3") << 3 << p("10007 10008 10009 00000 00000 0") << p("10007 10008 10009 99999 99999 9")
                                  << 30 << true;
        QTest::newRow("folder 4") << 4 << p("10007 10008 10009 10010 00000 0") << p("10007 10008 10009 10010 99999 9")
                                  << 40 << true;
        QTest::newRow("folder 5") << 5 << p("10007 10008 10009 10010 10011 0") << p("10007 10008 10009 10010 10011 9")
                                  << 50 << true;
        for (int type : {10, 20, 30, 40, 50, 99}) {
            const QString path =
                type == 99 ? p("99999 99999 99999 99999 99999 9") : p("10007 10008 10009 10010 10011 9");
            QTest::newRow(qPrintable(QStringLiteral("record %1").arg(type))) << type << path << path << type << false;
        }
        QTest::newRow("refused") << 6 << p("10007 00000 00000 00000 00000 0") << QString() << 0 << false;
    }

    void recordPaths()
    {
        QFETCH(int, type);
        QFETCH(QString, reference);
        QFETCH(QString, expected);
        QFETCH(int, expectedType);
        QFETCH(bool, under);
        const RecordPlacement placement = MakeRecordPath(reference, type);
        QCOMPARE(placement.ok, !expected.isEmpty());
        if (!placement.ok)
            return;
        QCOMPARE(placement.path, expected);
        QCOMPARE(placement.folderType, expectedType);
        QCOMPARE(placement.underReference, under);
        QVERIFY(!ClassifyPath(placement.path).isFolder());
    }

    void subtreePrefixAtEachLevel()
    {
        QCOMPARE(SubtreePrefix(p("10001 00000 00000 00000 00000 0")), p("10001"));
        QCOMPARE(SubtreePrefix(p("10001 10002 00000 00000 00000 0")), p("10001 10002"));
        QCOMPARE(SubtreePrefix(p("10001 10002 10003 00000 00000 0")), p("10001 10002 10003"));
        QCOMPARE(SubtreePrefix(p("10001 10002 10003 10004 00000 0")), p("10001 10002 10003 10004"));
        QCOMPARE(SubtreePrefix(p("10001 10002 10003 10004 10005 0")), p("10001 10002 10003 10004 10005"));
        // Records of the folder share the prefix; those of its parent do not.
        QVERIFY(p("10001 10002 99999 99999 99999 9").startsWith(SubtreePrefix(p("10001 10002 00000 00000 00000 0"))));
        QVERIFY(!p("10001 99999 99999 99999 99999 9").startsWith(SubtreePrefix(p("10001 10002 00000 00000 00000 0"))));
    }

    void countersRunOutOneShortOfTheRecordMarker()
    {
        setCounter(m_db, "FILE", 3, 99997);
        const QString parent = p("10001 10002 00000 00000 00000 0");
        Allocation last = AllocateChildFolder(m_db, ModuleKind::File, parent, 2);
        QCOMPARE(last.result, Result::Allocated);
        QCOMPARE(last.path, p("10001 10002 99998 00000 00000 0"));
        QCOMPARE(ClassifyPath(last.path), (Classification{Kind::Folder, 3})); // still reads as a folder

        Allocation none = AllocateChildFolder(m_db, ModuleKind::File, parent, 2);
        QCOMPARE(none.result, Result::Exhausted);
        QVERIFY(none.path.isEmpty());
        QCOMPARE(counter(m_db, "FILE", 3), 99998);
        // The other levels still allocate.
        for (int type : {1, 3, 4}) {
            const QString reference = p("10001 10002 10003 10004 00000 0").left(5 * type) +
                                      QStringLiteral("00000").repeated(5 - type) + QStringLiteral("0");
            QCOMPARE(AllocateChildFolder(m_db, ModuleKind::File, reference, type).result, Result::Allocated);
        }
        QCOMPARE(AllocateSiblingFolder(m_db, ModuleKind::File, p("10001 00000 00000 00000 00000 0"), 1).result,
                 Result::Allocated);
    }

    void levelCounterIsSharedByAllParents()
    {
        const Allocation first = AllocateChildFolder(m_db, ModuleKind::Pwd, p("10001 00000 00000 00000 00000 0"), 1);
        const Allocation second = AllocateChildFolder(m_db, ModuleKind::Pwd, p("10002 00000 00000 00000 00000 0"), 1);
        QCOMPARE(first.path, p("10001 10001 00000 00000 00000 0"));
        QCOMPARE(second.path, p("10002 10002 00000 00000 00000 0"));
    }

    void missingCounterFails()
    {
        m_db.execute(QStringLiteral("UPDATE tb_FolderMax SET folder1=NULL WHERE mModule='FILE'"));
        QCOMPARE(AllocateSiblingFolder(m_db, ModuleKind::File, p("10001 00000 00000 00000 00000 0"), 1).result,
                 Result::Failed);
        m_db.execute(QStringLiteral("DELETE FROM tb_FolderMax WHERE mModule='PWD'"));
        QCOMPARE(AllocateSiblingFolder(m_db, ModuleKind::Pwd, p("10001 00000 00000 00000 00000 0"), 1).result,
                 Result::Failed);
        QCOMPARE(AllocateSiblingFolder(m_db, ModuleKind::None, p("10001 00000 00000 00000 00000 0"), 1).result,
                 Result::Failed);
    }
};

QTEST_GUILESS_MAIN(FolderPathTest)
#include "tst_folderpath.moc"

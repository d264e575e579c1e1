// The diary's weather list as it is read from tb_Const.
#include <QtTest>

#include "records/WeatherList.h"
#include "storage/Schema.h"
#include "support/TestState.h"

class WeatherListTest : public QObject {
    Q_OBJECT

private slots:
    void theDiaryWeatherRowsInTheOrderTheyCome()
    {
        TestState test;
        QCOMPARE(WeatherList::load(test.db()), std::optional<QStringList>(Schema::defaultWeatherWords()));
        test.db().execute(QStringLiteral("DELETE FROM tb_Const"));
        QCOMPARE(WeatherList::load(test.db()), std::optional<QStringList>(QStringList()));

        const QList<QStringList> rows = {{"Dairy", "weather", "雪"},
                                         {"Dairy", "mood", "开心"},
                                         {"FILE", "weather", "风"},
                                         {"Dairy", "weather", "晴 "},
                                         {"Dairy", "weather", ""}};
        for (const QStringList& row : rows)
            test.db().execute(QStringLiteral("INSERT INTO tb_Const VALUES (?, ?, ?)"), {row[0], row[1], row[2]});
        QCOMPARE(WeatherList::load(test.db()), std::optional<QStringList>({"雪", "晴 ", ""}));
    }

    void nothingWhenTheTableOrARowCannotBeRead()
    {
        TestState test;
        test.db().execute(QStringLiteral("INSERT INTO tb_Const VALUES ('Dairy', 'weather', NULL)"));
        QCOMPARE(WeatherList::load(test.db()), std::nullopt);
        test.db().execute(QStringLiteral("DROP TABLE tb_Const"));
        QCOMPARE(WeatherList::load(test.db()), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(WeatherListTest)
#include "tst_weatherlist.moc"

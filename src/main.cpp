// Tiv: a personal information manager whose documents, diary and passwords live encrypted in one
// database file in the working directory.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/CTivApp.h"
#include "app/TivResources.h"
#include "security/RandomLetters.h"
#include "storage/Clock.h"
#include "ui/Skin.h"

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tiv"));
    QApplication::setApplicationDisplayName(QStringLiteral("澄岳个人信息管理安全版"));
    QApplication::setFont(Skin::uiFont(10));
    // The program speaks Chinese whatever the system locale: dates in the Chinese form, and Qt's
    // own buttons ("确定", "取消") in Chinese too.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);
    TivResources::init();
    QApplication::setWindowIcon(TivResources::icon(QStringLiteral("tiv")));

    SystemClock clock;
    SystemRandomLetters letters;
    CTivApp tiv(clock, letters);
    int result = 0;
    if (tiv.InitInstance())
        result = QApplication::exec();
    tiv.ExitInstance();
    return result;
}

// Tiv: a personal information manager whose documents, diary and passwords live encrypted in one
// database file in the working directory.
#include <sys/prctl.h>
#include <sys/stat.h>

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/CTivApp.h"
#include "app/Startup.h"
#include "app/TivApplication.h"
#include "state/RandomLetters.h"
#include "storage/Clock.h"
#include "ui/Skin.h"
#include "ui/TivResources.h"

int main(int argc, char* argv[])
{
    // Every file and folder the program makes (tiv.ini, backups, SQLite's journal) is its owner's
    // alone from the moment it exists.
    ::umask(077);
    // No core dump: it would hold the keys and the password the program keeps in memory.
    ::prctl(PR_SET_DUMPABLE, 0);
    // The database key is derived while Qt starts and connects to the display.
    Startup::EarlyOpen opening = Startup::openInBackground();
    TivApplication application(argc, argv);
    // No display name: Qt would add it to every window title, and each window carries its own caption.
    QApplication::setApplicationName(QStringLiteral("Tiv"));
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
    const int result = tiv.InitInstance(std::move(opening)) ? QApplication::exec() : 0;
    // A start the program refused ends with a status that says so, for whatever started it.
    const int status = tiv.ExitInstance();
    return result != 0 ? result : status;
}

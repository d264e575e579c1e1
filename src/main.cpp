// Tiv: a personal information manager whose documents, diary and passwords live encrypted in one
// database file in the working directory.
#include <QApplication>

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

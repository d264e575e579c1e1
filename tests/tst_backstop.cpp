// The application's backstop: a command that throws is reported and the program goes on.
#include <QPushButton>
#include <QtTest>

#include "app/TivApplication.h"
#include "storage/DbError.h"
#include "support/TestSupport.h"

class BackstopTest : public QObject {
    Q_OBJECT

private slots:
    void aThrowingCommandIsReportedAndTheWindowLivesOn()
    {
        auto* application = qobject_cast<TivApplication*>(QCoreApplication::instance());
        QVERIFY(application);
        ScriptedPrompter prompter;
        application->setPrompter(&prompter);

        QWidget window;
        auto* button = new QPushButton(QStringLiteral("保存"), &window);
        int clicks = 0;
        QObject::connect(button, &QPushButton::clicked, [&clicks] {
            if (++clicks == 1)
                throw DbError("disk I/O error");
        });
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(prompter.messages.size(), std::size_t(1));
        QCOMPARE(prompter.lastMessage(), TivApplication::failureText(QStringLiteral("disk I/O error")));
        QCOMPARE(prompter.lastCaption(), QStringLiteral("澄岳个人信息管理安全版"));

        // The window still answers, and the next command runs normally.
        QVERIFY(window.isVisible());
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(clicks, 2);
        QCOMPARE(prompter.messages.size(), std::size_t(1));
        application->setPrompter(nullptr);
    }
};

int main(int argc, char* argv[])
{
    TivApplication application(argc, argv);
    BackstopTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_backstop.moc"

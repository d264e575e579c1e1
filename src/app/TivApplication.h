#pragma once

#include <QApplication>

class Prompter;

// The program's application object for Qt. Its one addition is a backstop: an exception that escapes
// a command is shown to the user and the program goes on, so unsaved work in the windows is never
// lost to a crash.
class TivApplication final : public QApplication {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TivApplication)

public:
    TivApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Where the backstop tells the user; a plain message box when none is set.
    void setPrompter(Prompter* prompter) { m_prompter = prompter; }

    static QString failureText(const QString& detail);

private:
    void report(const QString& detail);

    Prompter* m_prompter = nullptr;
    bool m_reporting = false;
};

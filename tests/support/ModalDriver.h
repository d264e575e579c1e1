#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <functional>

class QWidget;

// Plays a script against the modal dialogs the program opens: each step waits until a modal dialog
// of the named class is active, then acts on it (fills fields, clicks a button). A modal dialog that
// no step takes within kGiveUpMs fails the running test and is closed, so a script that does not fit
// the program ends the test instead of hanging it.
class ModalDriver final : public QObject {
    Q_OBJECT

public:
    ModalDriver();

    static constexpr int kGiveUpMs = 20000;

    void expect(const char* className, std::function<void(QWidget*)> action);
    bool finished() const { return m_steps.empty(); }
    QString pendingStep() const;

    // Helpers for the actions.
    static void setText(QWidget* dialog, const char* editName, const QString& text);
    static void click(QWidget* dialog, const char* buttonName);
    static QString text(QWidget* dialog, const char* editName);
    static bool isChecked(QWidget* dialog, const char* buttonName);

private:
    void poll();

    struct Step {
        QString className;
        std::function<void(QWidget*)> action;
    };
    std::deque<Step> m_steps;
    QTimer m_timer;
    int m_stalledMs = 0; // how long a modal dialog has stood without a step for it
};

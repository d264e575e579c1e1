#pragma once

#include <QWidget>

#include <array>

#include "storage/ModuleKind.h"

class QLabel;
class Prompter;
struct AppState;

// The right pane of the main window: the home page with the account summary, and one panel per
// module for the record on show.
class CTivView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CTivView)

public:
    CTivView(AppState& state, Prompter& prompter, QWidget* parent = nullptr);

    // Runs once when the main window is ready to hear the view's status texts.
    void initialUpdate();

    // Lays the view out for the current module; nothing when it is the module laid out last, so
    // the controls of a module keep what they show.
    void switchModule();
    // The module of the last layout; the view starts on the home page.
    ModuleKind laidOutModule() const { return m_laidOut; }

    // Rebuilds the account summary (control 7006) from the logged-in account.
    void refreshSummary();

public slots:
    // Saves the record on screen; the record forms arrive with the record load and save.
    void saveRecord();

signals:
    // An outcome text for the message pane of the main window's status bar.
    void statusMessage(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void applyLayout();
    void arrange(const QSize& size);

    AppState& m_state;
    Prompter& m_prompter;
    ModuleKind m_laidOut = ModuleKind::None;
    QLabel* m_summaryLabel;
    std::array<QWidget*, 3> m_modulePanels{};
};

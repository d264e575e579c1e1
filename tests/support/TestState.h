#pragma once

#include <memory>

#include "state/AppState.h"
#include "state/RandomLetters.h"
#include "storage/Clock.h"
#include "support/TestSupport.h"

// A working directory with a new database, and an application state whose four connections are
// open on it, with a fixed clock, fixed letters and a logged-in user of the given id and data key.
class TestState final {
public:
    explicit TestState(const QString& userId = QStringLiteral("{11111111-2222-3333-4444-555555555555}"),
                       const QString& dataKey = QStringLiteral("data-key"));

    AppState& state() { return *m_state; }
    FixedClock& clock() { return m_clock; }
    ScriptedPrompter& prompter() { return m_prompter; }
    CDbConnection& db() { return m_state->mainConnection; }

private:
    TempWorkDir m_work;
    FixedClock m_clock;
    FixedLetters m_letters;
    ScriptedPrompter m_prompter;
    std::unique_ptr<AppState> m_state;
};

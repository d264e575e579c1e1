#include "support/TestState.h"

#include "state/SystemKey.h"
#include "storage/Schema.h"

TestState::TestState(const QString& userId, const QString& dataKey)
    : m_clock(QDateTime(QDate(2026, 12, 8), QTime(10, 0))), m_letters(QStringLiteral("kqmtb")),
      m_state(std::make_unique<AppState>(m_clock, m_letters))
{
    m_state->systemKey = SystemKey::build();
    m_state->user.id = userId;
    m_state->user.dataKey = dataKey;
    if (!m_state->mainConnection.OpenConnection(Schema::kConnectionString))
        qFatal("cannot open the test database");
    for (ModuleKind module : kAllModules) {
        if (!m_state->moduleConnection(module).ShareConnection(m_state->mainConnection))
            qFatal("cannot open the test database");
    }
}

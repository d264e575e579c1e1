#include "support/TestSupport.h"

#include <QDir>
#include <QtTest>

#include "storage/Schema.h"

TempWorkDir::TempWorkDir(bool withDatabase, bool withBackupFolder) : m_previous(QDir::currentPath())
{
    if (!m_dir.isValid())
        qFatal("cannot make a temporary directory");
    QDir::setCurrent(m_dir.path());
    if (withBackupFolder)
        QDir().mkpath(QStringLiteral("backup"));
    QDir().mkpath(QStringLiteral("data"));
    QString error;
    if (withDatabase && !Schema::CreateDatabase(QStringLiteral("data/tiv.dat"), &error))
        qFatal("cannot make the test database: %s", qPrintable(error));
}

TempWorkDir::~TempWorkDir()
{
    QDir::setCurrent(m_previous);
}

bool ScriptedPrompter::confirm(const QString& message, const QString&, const QString&)
{
    confirmations.append(message);
    if (confirmAnswers.empty())
        return false;
    const bool answer = confirmAnswers.front();
    confirmAnswers.pop_front();
    return answer;
}

std::optional<QString> ScriptedPrompter::askText(const QString& message, const QString&, const QString&)
{
    confirmations.append(message);
    if (textAnswers.empty() || !textAnswers.front().has_value()) {
        if (!textAnswers.empty())
            textAnswers.pop_front();
        return std::nullopt;
    }
    const QString answer = *textAnswers.front();
    textAnswers.pop_front();
    return answer;
}

Prompter::SaveChoice ScriptedPrompter::askSave(const QString& message)
{
    saveQuestions.append(message);
    if (saveAnswers.empty())
        return SaveChoice::Cancel;
    const SaveChoice answer = saveAnswers.front();
    saveAnswers.pop_front();
    return answer;
}

void ScriptedPrompter::showMessage(const QString& text, const QString& caption)
{
    if (whileShowing)
        whileShowing(text);
    messages.push_back({text, caption});
}

#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <functional>
#include <optional>

#include "ui/Prompter.h"

// A fresh working directory with a new database in data/tiv.dat, made the way tiv-newdb makes it.
// The process works in it while the object lives.
class TempWorkDir final {
public:
    explicit TempWorkDir(bool withDatabase = true, bool withBackupFolder = true);
    ~TempWorkDir();
    TempWorkDir(const TempWorkDir&) = delete;
    TempWorkDir& operator=(const TempWorkDir&) = delete;

    QString path() const { return m_dir.path(); }
    QString filePath(const QString& relative) const { return m_dir.filePath(relative); }
    QString databasePath() const { return filePath(QStringLiteral("data/tiv.dat")); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

// Answers prompts from a script and records every message, so tests can check what the user saw.
class ScriptedPrompter final : public Prompter {
public:
    struct Shown {
        QString text;
        QString caption;
    };

    bool confirm(const QString& message, const QString& acceptCaption, const QString& rejectCaption) override;
    std::optional<QString> askText(const QString& message, const QString& acceptCaption,
                                   const QString& rejectCaption) override;
    void showMessage(const QString& text, const QString& caption) override;
    SaveChoice askSave(const QString& message) override;

    // Answers used in order; when none is left, confirmations are refused and questions cancelled.
    std::deque<bool> confirmAnswers;
    std::deque<std::optional<QString>> textAnswers;
    std::deque<SaveChoice> saveAnswers; // when none is left: 取消, which loses nothing

    // Runs while a message is shown, before it is recorded: what the user does while reading it.
    std::function<void(const QString& text)> whileShowing;

    QStringList confirmations; // the messages of the confirm and askText calls
    QStringList saveQuestions;
    std::vector<Shown> messages;

    QString lastMessage() const { return messages.empty() ? QString() : messages.back().text; }
    QString lastCaption() const { return messages.empty() ? QString() : messages.back().caption; }
};

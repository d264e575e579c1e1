#pragma once

#include <QString>

#include <optional>

// How core logic asks the user something in the middle of an operation. The windows implement it
// with the confirmation dialog and message boxes; tests implement it with scripted answers.
class Prompter {
public:
    virtual ~Prompter() = default;

    // The confirmation dialog without an input box: true when the accepting button was pressed.
    virtual bool confirm(const QString& message, const QString& acceptCaption, const QString& rejectCaption) = 0;

    // The confirmation dialog with its input box: the non-empty text accepted, or nothing when refused.
    virtual std::optional<QString> askText(const QString& message, const QString& acceptCaption,
                                           const QString& rejectCaption) = 0;

    // A message box with one OK button.
    virtual void showMessage(const QString& text, const QString& caption) = 0;

    // Unsaved changes are about to be replaced: 保存, 不保存 or 取消.
    enum class SaveChoice { Save, Discard, Cancel };
    virtual SaveChoice askSave(const QString& message) = 0;
};

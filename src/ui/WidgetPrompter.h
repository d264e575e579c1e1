#pragma once

#include "ui/Prompter.h"

class QWidget;

// The real dialogs behind the prompting interface of the core.
class WidgetPrompter final : public Prompter {
public:
    explicit WidgetPrompter(QWidget* parent = nullptr) : m_parent(parent) {}

    void setParent(QWidget* parent) { m_parent = parent; }

    bool confirm(const QString& message, const QString& acceptCaption, const QString& rejectCaption) override;
    std::optional<QString> askText(const QString& message, const QString& acceptCaption,
                                   const QString& rejectCaption) override;
    void showMessage(const QString& text, const QString& caption) override;
    SaveChoice askSave(const QString& message) override;

private:
    QWidget* owner() const;

    QWidget* m_parent;
};

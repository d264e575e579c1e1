#pragma once

#include "ui/Prompter.h"

// Benchmarks ask the user nothing and show nothing.
class SilentPrompter final : public Prompter {
public:
    bool confirm(const QString&, const QString&, const QString&) override { return false; }
    std::optional<QString> askText(const QString&, const QString&, const QString&) override { return {}; }
    void showMessage(const QString&, const QString&) override {}
    SaveChoice askSave(const QString&) override { return SaveChoice::Discard; }
};

#pragma once

#include <QString>
#include <QWidget>

#include "state/SharedTexts.h"

class QTextBrowser;

// The program's own help page in a window of its own, which stays open beside the main window.
class HelpWindow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HelpWindow)

public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Shows the page at the anchor ("top" for the beginning) and brings the window to the front.
    void showTopic(const QString& anchor);
    QString currentAnchor() const;

    static inline const QString kTitle = SharedTexts::kProductCaption + QStringLiteral(" 帮助");

private:
    QTextBrowser* m_browser;
};

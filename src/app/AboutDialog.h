#pragma once

#include <QDialog>

// "关于本软件": the product name, its version and the program's icon.
class AboutDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AboutDialog)

public:
    explicit AboutDialog(QWidget* parent = nullptr);

    static inline const QString kTitle = QStringLiteral("关于本软件");
    static QString versionText();
};

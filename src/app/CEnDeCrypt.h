#pragma once

#include <QDialog>

#include "crypto/FileCipher.h"

struct AppState;
class Prompter;
class QCheckBox;
class QLineEdit;
class QPushButton;

// The file tool dialog "加密解密": a source and a target chosen with the browse buttons, the key
// (the user's default key unless "默认密钥" is cleared), and the two commands.
class CEnDeCrypt final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CEnDeCrypt)

public:
    CEnDeCrypt(const AppState& state, Prompter& prompter, QWidget* parent = nullptr);

    // The key the commands use: the default key while the box is ticked, else the typed one (empty
    // meaning the built-in key).
    QString key() const;

    static inline const QString kTitle = FileCipher::kCaption;
    static inline const QString kFilter = QStringLiteral("文档(*.txt *.rtf)");

private:
    void browseSource();
    void browseTarget();
    void process(FileCipher::Direction direction);

    const AppState& m_state;
    Prompter& m_prompter;
    QLineEdit* m_sourceEdit;
    QLineEdit* m_targetEdit;
    QLineEdit* m_keyEdit;
    QCheckBox* m_defaultKeyCheckBox;
};

#pragma once

#include <QColor>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <array>

class QButtonGroup;
class QComboBox;
class QMenu;
class QTextCharFormat;
class QTextEdit;
class QToolButton;

// The bar above the rich-text editors: font face and size, bold, italic and underline, paragraph
// alignment, colour, the font dialog and the edit commands. Every command acts on the editor set with
// setEditor() and gives it the focus back; without an editor the commands do nothing.
class FormatBar final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormatBar)

public:
    explicit FormatBar(QWidget* parent = nullptr);

    void setEditor(QTextEdit* editor);
    QTextEdit* editor() const { return m_editor; }

    // An entry of the colour menu; the automatic colour has none of its own.
    struct MenuColour {
        int id;
        QString name;
        QColor colour; // invalid for "自动"
    };
    static const std::array<MenuColour, 17>& menuColours();

    // The sizes offered, in points, and the one preset.
    static inline const QStringList kSizes = {
        QStringLiteral("8"),  QStringLiteral("9"),  QStringLiteral("10"), QStringLiteral("11"),
        QStringLiteral("12"), QStringLiteral("14"), QStringLiteral("16"), QStringLiteral("18"),
        QStringLiteral("20"), QStringLiteral("22"), QStringLiteral("24"), QStringLiteral("26"),
        QStringLiteral("28"), QStringLiteral("36"), QStringLiteral("48"), QStringLiteral("72")};
    static constexpr int kPresetSizeIndex = 4;
    static inline const QString kPresetFace = QStringLiteral("幼圆");

private:
    QToolButton* addButton(const char* name, const char* icon, const QString& toolTip, bool checkable);
    void fillFontList();

    QTextCharFormat referenceFormat() const;
    // Applies the format to the selection, else to the word at the caret, else to what is typed next.
    void mergeOnWordOrSelection(const QTextCharFormat& format);
    void setEffect(void (QTextCharFormat::*set)(bool), bool on);
    void setBold(bool on);
    void setAlignment(Qt::Alignment alignment);
    void applyFace(const QString& face);
    void applySize(const QString& text);
    void showColourMenu();
    void applyColour(const QColor& colour);
    void openFontDialog();
    void runEditCommand(void (QTextEdit::*command)());
    void giveFocusBack();

    QPointer<QTextEdit> m_editor;
    QComboBox* m_fontCombo;
    QComboBox* m_sizeCombo;
    QToolButton* m_colorButton = nullptr;
    QButtonGroup* m_alignGroup;
    QMenu* m_colourMenu;
};

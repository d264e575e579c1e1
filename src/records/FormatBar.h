#pragma once

#include <QColor>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <array>
#include <vector>

#include "records/TextFormatting.h"

class QButtonGroup;
class QComboBox;
class QMenu;
class QToolButton;
class CMyRichEdit;

// The bar above the rich-text editors: font face and size, bold, italic and underline, paragraph
// alignment, colour, the font dialog and the edit commands. Every command acts on the editor set with
// setEditor() and gives it the focus back; without an editor the commands do nothing.
//
// The bar shows the format at the editor's caret: the face, size and effects of the reference character and
// the alignment of its paragraph, after every caret move, selection and change. Its controls keep their size;
// those that do not fit its width move, from the last one on, into the menu of an overflow button.
class FormatBar final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormatBar)

public:
    explicit FormatBar(QWidget* parent = nullptr);

    void setEditor(CMyRichEdit* editor);
    CMyRichEdit* editor() const { return m_editor; }

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

    // Every control in one row, and the least width that still shows the two lists and the overflow button.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QToolButton* addButton(const char* name, const char* icon, const QString& toolTip, bool checkable,
                           bool startsGroup = false);
    void addControl(QWidget* control, bool startsGroup);
    void fillFontList();
    void arrange();
    void fillOverflowMenu();

    void showFormatAtCaret();
    void showFace(const QString& face);
    void showSize(double points);
    void showAlignment(Qt::Alignment alignment);

    void setEffect(TextFormatting::Effect effect, bool on);
    void setAlignment(Qt::Alignment alignment);
    void showColourMenu();
    void runEditCommand(void (CMyRichEdit::*command)());

    QPointer<CMyRichEdit> m_editor;
    QComboBox* m_fontCombo;
    QComboBox* m_sizeCombo;
    std::array<QToolButton*, 3> m_effectButtons{}; // bold, italic, underline
    QToolButton* m_colorButton = nullptr;
    QButtonGroup* m_alignGroup;
    QMenu* m_colourMenu;
    QToolButton* m_overflowButton;
    QMenu* m_overflowMenu;

    // The controls in their order, and whether each starts a group (a wider gap before it).
    struct Control {
        QWidget* widget;
        bool startsGroup;
    };
    std::vector<Control> m_controls;
    QString m_shownFace;
};

#pragma once

#include <QTextEdit>

#include "records/TextFormatting.h"

class QMenu;

// The rich-text editor of document and diary bodies: its formatting commands, its context menu, Ctrl+B, Ctrl+I
// and Ctrl+U, and a clipboard that takes only what a body can keep.
//
// Every command starts from the reference character (TextFormatting::referenceFormat) and gives the editor the
// focus back. A read-only editor (a body that could not be read) takes no command that would change it.
class CMyRichEdit final : public QTextEdit {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CMyRichEdit)

public:
    explicit CMyRichEdit(QWidget* parent = nullptr);

    // Text typed into an empty editor comes out at this size.
    static constexpr int kDefaultPointSize = 12;

    // The stored format of the reference character: what the formatting bar shows.
    QTextCharFormat referenceFormat() const;

    void setEffect(TextFormatting::Effect effect, bool on);
    // Bold, italic or underline the other way round from the reference character.
    void toggleEffect(TextFormatting::Effect effect);
    void setTextColour(const QColor& colour);
    void setFace(const QString& face);
    void setPointSize(double points);
    // Aligns the paragraphs of the selection, or the caret's paragraph.
    void setParagraphAlignment(Qt::Alignment alignment);
    // The font dialog on the reference character; its choice goes to the target.
    void chooseFont();

    // The context menu as it stands now: entries enabled by the editor's state and the clipboard. The caller owns
    // it.
    QMenu* createContextMenu();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;

private:
    bool canChange() const;
    void applyToTarget(const QTextCharFormat& attributes, TextFormatting::Scope scope);
    void removeSelection();
    void takeFocus();
};

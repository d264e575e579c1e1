#pragma once

#include <QTextEdit>

// The rich-text editor of document and diary bodies. Its context menu and the editor's own
// formatting rules belong here.
class CMyRichEdit final : public QTextEdit {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CMyRichEdit)

public:
    explicit CMyRichEdit(QWidget* parent = nullptr);

    // Text typed into an empty editor comes out at this size.
    static constexpr int kDefaultPointSize = 12;
};

#include "records/CMyRichEdit.h"

CMyRichEdit::CMyRichEdit(QWidget* parent) : QTextEdit(parent)
{
    // Only the size is set: the face stays the one the editor inherits from the view. The editor hands
    // its font on to the document as the default character format.
    QFont sized;
    sized.setPointSize(kDefaultPointSize);
    setFont(sized);
}

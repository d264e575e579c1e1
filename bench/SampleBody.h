#pragma once

// A rich-text body of about 1 MB of RTF: mostly Chinese text with bold runs, colours, sizes and
// paragraph alignments, as a long diary entry written in the editor would be.
#include <array>

#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include "records/RtfWriter.h"

namespace SampleBody {

inline constexpr qsizetype kTargetRtfBytes = 1 << 20;

inline const QString kChinese = QStringLiteral("今天天气很好我们一起去公园散步看见许多人在湖边钓鱼孩子们放风筝老人打太极拳"
                                        "晚上回家做饭写日记记录生活中的点点滴滴希望明天也是美好的一天");

// Builds paragraphs of about 300 characters until the document's RTF reaches the target size.
inline void fillDocument(QTextDocument& document)
{
    const std::array<Qt::Alignment, 4> alignments = {Qt::AlignLeft, Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignJustify};
    const std::array<QColor, 3> colours = {QColor(255, 0, 0), QColor(0, 0, 128), QColor(0, 128, 0)};
    QTextCursor cursor(&document);
    QTextCharFormat plain;
    plain.setFontFamilies({QStringLiteral("宋体")});
    plain.setFontPointSize(12);
    int paragraph = 0;
    int run = 0;
    for (;;) {
        for (int batch = 0; batch < 50; ++batch, ++paragraph) {
            QTextBlockFormat block;
            block.setAlignment(alignments[paragraph % alignments.size()]);
            if (paragraph > 0)
                cursor.insertBlock(block);
            else
                cursor.setBlockFormat(block);
            for (int piece = 0; piece < 10; ++piece, ++run) {
                QTextCharFormat format = plain;
                if (run % 3 == 0)
                    format.setFontWeight(QFont::Bold);
                if (run % 5 == 0)
                    format.setForeground(colours[run % colours.size()]);
                if (run % 7 == 0)
                    format.setFontPointSize(16);
                const qsizetype from = (run * 7) % (kChinese.size() - 24);
                cursor.insertText(kChinese.mid(from, 24), format);
                cursor.insertText(QStringLiteral("，Tiv 2024。"), plain);
            }
        }
        if (RtfWriter::write(document).size() >= kTargetRtfBytes)
            return;
    }
}

} // namespace SampleBody

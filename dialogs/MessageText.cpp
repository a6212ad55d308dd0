#include "dialogs/MessageText.h"

#include <QFont>
#include <QStringList>
#include <QTextLayout>
#include <QTextOption>

QString WrapMessage(const QString& text, const QFont& font, int width) {
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    QStringList lines;
    for (QString paragraph : text.split(u'\n')) {
        if (paragraph.endsWith(u'\r'))
            paragraph.chop(1);
        QTextLayout layout(paragraph, font);
        layout.setTextOption(option);
        layout.beginLayout();
        bool any = false;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            QString piece = paragraph.mid(line.textStart(), line.textLength());
            // The blank a line was broken at ends the line; nobody sees it.
            while (piece.endsWith(u' '))
                piece.chop(1);
            lines << piece;
            any = true;
        }
        layout.endLayout();
        if (!any)
            lines << QString(); // an empty line stays one
    }
    return lines.join(u'\n');
}

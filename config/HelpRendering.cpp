#include "config/HelpRendering.h"
#include "config/HelpTexts.h"

#include <QTextCursor>
#include <QTextDocument>

void writeHelpTopic(QTextDocument& document, int topic) {
    document.clear();
    const std::optional<THelpTopic> text = helpTopic(topic);
    if (!text)
        return;
    QTextCursor cursor(&document);
    QTextCharFormat format = cursor.charFormat();
    format.setFontWeight(QFont::Bold);
    cursor.setCharFormat(format);
    cursor.insertText(text->heading);
    format.setFontWeight(QFont::Normal);
    for (const QString& line : text->lines) {
        cursor.insertBlock(QTextBlockFormat(), format);
        cursor.insertText(line, format);
    }
}

QString helpTopicPlainText(int topic) {
    QTextDocument document;
    writeHelpTopic(document, topic);
    return document.toPlainText();
}

#pragma once

class QString;
class QTextDocument;

// Replaces the document's content with the topic: the heading in bold as the first
// line, then the further lines, not bold, one paragraph each. An unknown topic leaves
// the document empty.
void writeHelpTopic(QTextDocument& document, int topic);

// The topic as the panel shows it, in plain text: the heading and the lines, one a line. Empty
// for an unknown topic.
QString helpTopicPlainText(int topic);

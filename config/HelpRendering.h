#pragma once

class QTextDocument;

// Replaces the document's content with the topic: the heading in bold as the first
// line, then the further lines, not bold, one paragraph each. An unknown topic leaves
// the document empty.
void writeHelpTopic(QTextDocument& document, int topic);

#include "config/HelpPanel.h"
#include "config/ApplicationHint.h"
#include "config/EditorFonts.h"
#include "config/HelpRendering.h"

#include <QAbstractButton>
#include <QFrame>
#include <QLabel>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {
constexpr int PanelWidth = 232;
constexpr int HeadHeight = 41;

// The topic a long hint names; -1 for a text that is not a number.
int topicOf(const QString& longHint) {
    bool ok = false;
    const int topic = longHint.toInt(&ok);
    return ok ? topic : -1;
}
} // namespace

THelpPanel::THelpPanel(QWidget* parent) : QObject(parent) {
    panelInfo_ = new QFrame(parent);
    panelInfo_->setObjectName(QStringLiteral("PanelInfo"));
    panelInfo_->setFont(windowFont());
    panelInfo_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panelInfo_->setFixedWidth(PanelWidth);
    panelInfo_->setGeometry(parent->width() - PanelWidth, 0, PanelWidth, parent->height());

    panelInfoHead_ = new QLabel(QStringLiteral("Hilfe"), panelInfo_);
    panelInfoHead_->setObjectName(QStringLiteral("PanelInfoHead"));
    panelInfoHead_->setFont(windowFont(true));
    panelInfoHead_->setAlignment(Qt::AlignCenter);
    panelInfoHead_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panelInfoHead_->setFixedHeight(HeadHeight);

    infoText_ = new QTextEdit(panelInfo_);
    infoText_->setObjectName(QStringLiteral("InfoText"));
    infoText_->setAccessibleName(panelInfoHead_->text());
    infoText_->setReadOnly(true);
    infoText_->setFrameStyle(QFrame::NoFrame);
    infoText_->setLineWrapMode(QTextEdit::WidgetWidth);
    infoText_->setFont(windowFont());
    infoText_->document()->setDefaultFont(windowFont());
    QPalette pal = infoText_->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Button));
    infoText_->setPalette(pal);

    auto* layout = new QVBoxLayout(panelInfo_);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    layout->addWidget(panelInfoHead_);
    layout->addWidget(infoText_);
}

void THelpPanel::InstallHintCallback() {
    if (!hint_)
        hint_ = new TApplicationHint(this);
    hint_->OnApplicationHint = [this](const QString& hint) { OnApplicationHint(hint); };
}

void THelpPanel::OnApplicationHint(const QString& hint) {
    const QString text = Hint::longPart(hint);
    if (!text.isEmpty())
        ShowHelpTopic(topicOf(text));
}

void THelpPanel::ShowHelpTopic(int topic) {
    writeHelpTopic(*infoText_->document(), topic);
}

void THelpPanel::DescribeControls(QWidget* window) {
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (!(control->focusPolicy() & Qt::TabFocus) && !qobject_cast<QAbstractButton*>(control))
            continue;
        const QString text = helpTopicPlainText(topicOf(Hint::longPart(Hint::resolve(control))));
        if (!text.isEmpty())
            control->setAccessibleDescription(text);
    }
}

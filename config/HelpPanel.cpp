#include "config/HelpPanel.h"
#include "config/ApplicationHint.h"
#include "config/EditorFonts.h"
#include "config/HelpRendering.h"

#include <QFrame>
#include <QLabel>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {
constexpr int PanelWidth = 232;
constexpr int HeadHeight = 41;
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
    if (text.isEmpty())
        return;
    bool ok = false;
    const int topic = text.toInt(&ok);
    ShowHelpTopic(ok ? topic : -1);
}

void THelpPanel::ShowHelpTopic(int topic) {
    writeHelpTopic(*infoText_->document(), topic);
}

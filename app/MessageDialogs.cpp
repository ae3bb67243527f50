#include "app/MessageDialogs.h"

#include "app/DialogFrame.h"
#include "app/Pictures.h"
#include "app/ProgramInfo.h"

#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

TMessageDialog::TMessageDialog(const QString& objectName, QSize clientSize,
                               const QString& caption) {
    SetUpDialogFrame(this, objectName, caption, clientSize);
}

void TMessageDialog::addFrame(QRect frame) {
    auto* bevel = new QFrame(this);
    bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    bevel->setGeometry(frame);
    bevel->lower();
}

void TMessageDialog::addExclamation(QPoint topLeft) {
    auto* pic = new QLabel(this);
    pic->setObjectName(QStringLiteral("Image1"));
    pic->setPixmap(exclamationPicture());
    pic->setGeometry(QRect(topLeft, QSize(32, 90)));
}

void TMessageDialog::addMessage(QRect geometry, bool tabReachable) {
    Message = new QPlainTextEdit(this);
    Message->setObjectName(QStringLiteral("Message"));
    Message->setAccessibleName(QStringLiteral("Meldung"));
    Message->setReadOnly(true);
    Message->setFrameStyle(QFrame::NoFrame);
    Message->setGeometry(geometry);
    Message->setFocusPolicy(tabReachable ? Qt::StrongFocus : Qt::ClickFocus);
    Message->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Message->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Message->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette pal = Message->palette();
    pal.setColor(QPalette::Base, palette().color(QPalette::Button));
    Message->setPalette(pal);
    Message->viewport()->installEventFilter(this);
    Message->installEventFilter(this);
}

QPushButton* TMessageDialog::addButton(ButtonKind kind, const QString& objectName, QRect geometry) {
    static const struct {
        const char* caption;
        int result;
        QStyle::StandardPixmap glyph;
    } kinds[] = {
        {"OK", mrOk, QStyle::SP_DialogOkButton},
        {"&Ja", mrYes, QStyle::SP_DialogYesButton},
        {"&Nein", mrNo, QStyle::SP_DialogNoButton},
        {"Abbrechen", mrCancel, QStyle::SP_DialogCancelButton},
    };
    const auto& k = kinds[static_cast<int>(kind)];
    auto* b = new QPushButton(QString::fromUtf8(k.caption), this);
    b->setObjectName(objectName);
    b->setGeometry(geometry);
    b->setIcon(style()->standardIcon(k.glyph));
    const bool isDefault = kind == ButtonKind::Ok || kind == ButtonKind::Yes;
    b->setDefault(isDefault);
    b->setAutoDefault(true);
    const int result = k.result;
    connect(b, &QPushButton::clicked, this, [this, result] { done(result); });
    if (!firstButton)
        firstButton = b;
    if (!firstCancelButton && (kind == ButtonKind::No || kind == ButtonKind::Cancel))
        firstCancelButton = b;
    return b;
}

void TMessageDialog::AddLine(const QString& line) {
    lines_ << line;
    Message->setPlainText(lines_.join(QLatin1Char('\n')));
}

void TMessageDialog::ClearLines() {
    lines_.clear();
    Message->clear();
}

QStringList TMessageDialog::Lines() const {
    return lines_;
}

void TMessageDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        // Esc presses the first cancel button; a box without one ignores it.
        if (firstCancelButton && firstCancelButton->isEnabled())
            firstCancelButton->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TMessageDialog::eventFilter(QObject* watched, QEvent* event) {
    const bool click = event->type() == QEvent::MouseButtonPress && watched == Message->viewport();
    const bool enter = event->type() == QEvent::FocusIn && watched == Message;
    if (click || enter) {
        // The message text never keeps the focus.
        QPushButton* target = messageFocusTarget();
        if (target && target->isEnabled())
            target->setFocus();
        else if (enter && focusWidget() == Message)
            focusNextChild();
        return click;
    }
    return QDialog::eventFilter(watched, event);
}

void TMessageDialog::done(int result) {
    if (!canClose())
        return;
    QDialog::done(result);
}

void TMessageDialog::reject() {
    done(mrCancel);
}

TAboutBox::TAboutBox()
    : TMessageDialog(QStringLiteral("AboutBox"), {298, 208}, QStringLiteral("Info")) {
    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(8, 8, 281, 145);
    auto* icon = new QLabel(panel);
    icon->setObjectName(QStringLiteral("ProgramIcon"));
    icon->setPixmap(programIcon().pixmap(32, 32));
    icon->setGeometry(16, 16, 32, 32);
    auto* product = new QLabel(QStringLiteral(ZUVEX_PROGRAM_TITLE), panel);
    product->setObjectName(QStringLiteral("ProductName"));
    product->move(64, 16);
    auto* version = new QLabel(QStringLiteral(ZUVEX_VERSION_LINE), panel);
    version->setObjectName(QStringLiteral("Version"));
    version->move(64, 40);
    auto* comments = new QLabel(panel);
    comments->setObjectName(QStringLiteral("Comments"));
    comments->setWordWrap(true);
    comments->setGeometry(8, 104, 265, 33);
    addMessage(QRect(), false);
    Message->hide();
    addButton(ButtonKind::Ok, QStringLiteral("OKBtn"), {112, 168, 75, 25});
}

TErrorDialog::TErrorDialog() : TMessageDialog(QStringLiteral("ErrorDialog"), {321, 165}, "Dialog") {
    addFrame({8, 8, 305, 105});
    addExclamation({16, 16});
    addMessage({56, 16, 249, 89}, false);
    OKBtn = addButton(ButtonKind::Ok, QStringLiteral("OKBtn"), {123, 128, 75, 25});
}

THinweisBox::THinweisBox() : TMessageDialog(QStringLiteral("HinweisBox"), {321, 165}, "Dialog") {
    addFrame({8, 8, 305, 105});
    addExclamation({16, 16});
    addMessage({56, 16, 249, 89}, false);
    YesBtn = addButton(ButtonKind::Yes, QStringLiteral("YesBtn"), {32, 128, 65, 25});
    NoBtn = addButton(ButtonKind::No, QStringLiteral("NoBtn"), {112, 128, 65, 25});
    CancelBtn = addButton(ButtonKind::Cancel, QStringLiteral("CancelBtn"), {192, 128, 97, 25});
}

void THinweisBox::showEvent(QShowEvent* event) {
    TMessageDialog::showEvent(event);
    YesBtn->setFocus();
}

TErgebnisDialog::TErgebnisDialog()
    : TMessageDialog(QStringLiteral("ErgebnisDialog"), {313, 214}, "Dialog") {
    addFrame({8, 8, 297, 161});
    addMessage({16, 16, 281, 145}, true);
    OKBtn = addButton(ButtonKind::Ok, QStringLiteral("OKBtn"), {119, 180, 75, 25});
}

TProgErgebnisDialog::TProgErgebnisDialog()
    : TMessageDialog(QStringLiteral("ProgErgebnisDialog"), {313, 214}, "Dialog") {
    addFrame({8, 8, 297, 161});
    addMessage({16, 16, 281, 145}, true);
    OKBtn = addButton(ButtonKind::Ok, QStringLiteral("OKBtn"), {119, 180, 75, 25});
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setTimerType(Qt::PreciseTimer); // a coarse timer may fire up to 5 % early
    connect(Timer1, &QTimer::timeout, this, &TProgErgebnisDialog::Timer1Timer);
}

void TProgErgebnisDialog::showEvent(QShowEvent* event) {
    TMessageDialog::showEvent(event);
    Timer1->start(HoldMs);
    OKBtn->setFocus();
    OKBtn->setEnabled(false);
}

void TProgErgebnisDialog::Timer1Timer() {
    Timer1->stop();
    OKBtn->setEnabled(true);
    OKBtn->setFocus();
    AddLine(QStringLiteral("Die Anlage wurde neu gestartet."));
}

bool TProgErgebnisDialog::canClose() const {
    return !Timer1->isActive();
}

QPushButton* TProgErgebnisDialog::messageFocusTarget() const {
    return OKBtn->isEnabled() ? OKBtn : nullptr;
}

TUpDownLoad::TUpDownLoad()
    : TMessageDialog(QStringLiteral("UpDownLoad"), {313, 214}, QStringLiteral("Datenügertragung")) {
    addFrame({8, 8, 297, 161});
    addMessage({16, 16, 281, 145}, true);
    CancelBtn = addButton(ButtonKind::Cancel, QStringLiteral("CancelBtn"), {108, 180, 97, 25});
    // "Abbrechen" closes the box, which ends the running transfer.
    disconnect(CancelBtn, &QPushButton::clicked, nullptr, nullptr);
    connect(CancelBtn, &QPushButton::clicked, this, &TUpDownLoad::CloseBox);
}

void TUpDownLoad::showEvent(QShowEvent* event) {
    TMessageDialog::showEvent(event);
    if (OnFormShow)
        OnFormShow();
}

void TUpDownLoad::CloseBox() {
    hide();
    if (OnFormClose)
        OnFormClose();
}

void TUpDownLoad::closeEvent(QCloseEvent* event) {
    QDialog::closeEvent(event);
    if (OnFormClose)
        OnFormClose();
}

int ShowMessageDialog(TMessageDialog* dialog, const QString& caption, const QStringList& lines) {
    dialog->setWindowTitle(caption);
    for (const QString& line : lines)
        dialog->AddLine(line);
    const int result = dialog->exec();
    dialog->ClearLines();
    return result;
}

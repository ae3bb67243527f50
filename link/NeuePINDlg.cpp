#include "link/NeuePINDlg.h"

#include "app/DialogFrame.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QShowEvent>
#include <QStyle>

namespace {

constexpr int PinLength = 4;
const QString eingabefehler = QStringLiteral("Eingabefehler");
const QString tooShort = QStringLiteral("Die PIN muß immer 4-stellig sein!");

} // namespace

TNeuePINDlg::TNeuePINDlg(QWidget* parent) : QDialog(parent) {
    SetUpDialogFrame(this, QStringLiteral("NeuePINDlg"), QStringLiteral("Neuer Sicherheitscode"),
                     {281, 153});

    // Pasted or dropped text must be digits as well.
    auto* digitsOnly =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    auto field = [&](const char* name, const QString& label, int top) {
        auto* l = new QLabel(label, this);
        l->setGeometry(16, top + 3, 160, 16);
        auto* e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        e->setGeometry(184, top, 81, 23);
        e->setMaxLength(PinLength);
        e->setEchoMode(QLineEdit::Password);
        e->setStyleSheet(QStringLiteral("lineedit-password-character: 42")); // "*"
        e->setValidator(digitsOnly);
        e->setContextMenuPolicy(Qt::NoContextMenu);
        e->installEventFilter(this);
        LabelField(l, e);
        return e;
    };
    AltePIN = field("AltePIN", QStringLiteral("Alte PIN:"), 16);
    NeuePIN1 = field("NeuePIN1", QStringLiteral("Neue PIN:"), 48);
    NeuePIN2 = field("NeuePIN2", QStringLiteral("Neue PIN (Wiederholung):"), 80);

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(50, 118, 75, 25);
    OKBtn->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Abbrechen"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(150, 118, 81, 25);
    CancelBtn->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    CancelBtn->setAutoDefault(false);

    setTabOrder(AltePIN, NeuePIN1);
    setTabOrder(NeuePIN1, NeuePIN2);
    setTabOrder(NeuePIN2, OKBtn);
    setTabOrder(OKBtn, CancelBtn);

    OKBtn->installEventFilter(this);
    connect(OKBtn, &QPushButton::clicked, this, &TNeuePINDlg::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TNeuePINDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TNeuePINDlg::FormShow() {
    reporting_ = true; // emptying and refocusing are no exits to check
    AltePIN->clear();
    NeuePIN1->clear();
    NeuePIN2->clear();
    AltePIN->setFocus(Qt::OtherFocusReason);
    reporting_ = false;
}

bool TNeuePINDlg::PINKeyPress(QChar key) {
    return (key >= QLatin1Char('0') && key <= QLatin1Char('9')) || key == QChar(8);
}

bool TNeuePINDlg::eventFilter(QObject* watched, QEvent* event) {
    auto* field = qobject_cast<QLineEdit*>(watched);
    if (watched == OKBtn && event->type() == QEvent::MouseButtonPress && swallowPress_) {
        // This press moved the focus out of a short field and brought up the input error
        // box: the click ends there, as it does for the box's own modal loop.
        swallowPress_ = false;
        return true;
    }
    if (!field)
        return QDialog::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent*>(event)->text();
        // Characters only: Tab, Enter and Esc move on or close the dialog as usual.
        const bool navigation = text.isEmpty() || text == QLatin1String("\t") ||
                                text == QLatin1String("\r") || text == QLatin1String("\n") ||
                                text == QLatin1String("\x1b");
        if (!navigation && (text.size() != 1 || !PINKeyPress(text.at(0))))
            return true; // dropped
    } else if (event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // Only a move to another control inside the dialog is an exit of the field.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            QWidget* next = QApplication::focusWidget();
            const bool wasReporting = reporting_;
            PINExit(field, next);
            swallowPress_ = !wasReporting && isVisible() && reason == Qt::MouseFocusReason &&
                            next == OKBtn && field->text().size() < PinLength;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TNeuePINDlg::PINExit(QLineEdit* field, QWidget* next) {
    if (reporting_ || !isVisible() || next == CancelBtn)
        return;
    if (field->text().size() < PinLength)
        reportInputError(field, tooShort);
}

void TNeuePINDlg::reportInputError(QLineEdit* field, const QString& line) {
    reporting_ = true;
    field->setFocus(Qt::OtherFocusReason);
    if (ShowErrorBox)
        ShowErrorBox(eingabefehler, {QStringLiteral("Fehler!"), line});
    field->setFocus(Qt::OtherFocusReason);
    reporting_ = false;
}

void TNeuePINDlg::OKBtnClick() {
    for (QLineEdit* field : {AltePIN, NeuePIN1, NeuePIN2}) {
        if (field->text().size() != PinLength) {
            reportInputError(field, tooShort);
            return; // the dialog stays open
        }
    }
    if (NeuePIN1->text() != NeuePIN2->text()) {
        reportInputError(NeuePIN2,
                         QStringLiteral("Die neue PIN und die Wiederholung sind unterschiedlich!"));
        return;
    }
    OldPin = AltePIN->text().toLatin1();
    accept();
}

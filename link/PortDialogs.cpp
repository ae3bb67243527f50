#include "link/PortDialogs.h"

#include "app/DialogFrame.h"
#include "app/MessageDialogs.h"
#include "app/WarningBoxes.h"
#include "link/SearchDialogs.h"
#include "serial/SerialError.h"
#include "serial/SerialPort.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>

namespace {

QPushButton* standardButton(QDialog* dialog, const char* name, bool ok, QRect geometry) {
    auto* button = new QPushButton(ok ? QStringLiteral("OK") : QStringLiteral("Abbrechen"), dialog);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    button->setIcon(dialog->style()->standardIcon(ok ? QStyle::SP_DialogOkButton
                                                     : QStyle::SP_DialogCancelButton));
    return button;
}

} // namespace

TPortDialog::TPortDialog() {
    SetUpDialogFrame(this, QStringLiteral("PortDialog"), QStringLiteral("COM-Port festlegen"),
                     {257, 177});
    auto* heading =
        new QLabel(QStringLiteral("An welchem COM-Port ist die Zuvex 910k angeschlossen?"), this);
    heading->setWordWrap(true);
    heading->setGeometry(16, 8, 225, 34);
    for (int i = 0; i < 4; ++i) {
        auto* b = new QRadioButton(QStringLiteral("COM%1").arg(i + 1), this);
        b->setObjectName(QStringLiteral("COM%1Btn").arg(i + 1));
        b->setGeometry(32 + (i % 2) * 104, 52 + (i / 2) * 32, 89, 17);
        connect(b, &QRadioButton::clicked, this, [this, i] { choose(i + 1); });
        COMBtn[std::size_t(i)] = b;
    }
    OKBtn = standardButton(this, "OKBtn", true, {40, 136, 75, 25});
    CancelBtn = standardButton(this, "CancelBtn", false, {136, 136, 89, 25});
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, [this] { done(mrOk); });
    connect(CancelBtn, &QPushButton::clicked, this, [this] { done(mrCancel); });
}

void TPortDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    ChosenPort = 0;
    OKBtn->setEnabled(false);
    for (int i = 0; i < 4; ++i) {
        QRadioButton* b = COMBtn[std::size_t(i)];
        b->setAutoExclusive(false); // lets all four be unticked
        b->setChecked(false);
        b->setAutoExclusive(true);
        b->setEnabled(IsPortFree && IsPortFree(i + 1));
    }
    CancelBtn->setFocus();
}

void TPortDialog::choose(int comNumber) {
    ChosenPort = comNumber;
    OKBtn->setEnabled(true);
}

void TPortDialog::done(int result) {
    if (result == mrOk && !OKBtn->isEnabled())
        return; // Enter before a port was chosen
    if (result == mrOk && ChosenPort >= 1 && ChosenPort <= 4 && OnPortChosen)
        OnPortChosen(ChosenPort);
    QDialog::done(result);
}

TWaehleComPortDlg::TWaehleComPortDlg(TSerialPort* port) : port_(port) {
    SetUpDialogFrame(this, QStringLiteral("WaehleComPortDlg"), QStringLiteral("Dialog"),
                     {233, 121});
    auto* label = new QLabel(QStringLiteral("COM-Schnittstelle wählen:"), this);
    label->setGeometry(16, 16, 201, 17);
    CBSchnittstellen = new QComboBox(this);
    CBSchnittstellen->setObjectName(QStringLiteral("CBSchnittstellen"));
    CBSchnittstellen->setGeometry(16, 40, 201, 21);
    LabelField(label, CBSchnittstellen);
    OKBtn = standardButton(this, "OKBtn", true, {24, 80, 75, 25});
    CancelBtn = standardButton(this, "CancelBtn", false, {128, 80, 89, 25});
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &TWaehleComPortDlg::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, [this] { done(mrCancel); });
}

void TWaehleComPortDlg::OKBtnClick() {
    const int index = CBSchnittstellen->currentIndex();
    if (index < 0) {
        done(mrOk);
        return;
    }
    bool ok = false;
    int number = CBSchnittstellen->itemText(index).mid(3).toInt(&ok, 10);
    if (!ok || number <= 0 || number > 0xFFFF)
        number = 0;
    if (number == 0) {
        done(mrCancel);
        return;
    }
    try {
        port_->SetComNumber(quint16(number)); // reopens the port if it is open
    } catch (const ESerialError& e) {
        ShowApplicationError(e.message());
        done(mrCancel);
        return;
    }
    done(mrOk);
}

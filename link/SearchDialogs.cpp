#include "link/SearchDialogs.h"

#include "app/DialogFrame.h"
#include "app/MessageDialogs.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStringList>

namespace {

// Breaks `text` into lines of at most `width` pixels at its spaces only. A label's own word
// wrap also breaks after a slash, which would tear a device path such as "/dev/pts/1" apart.
QString linesBrokenAtSpaces(const QString& text, const QFontMetrics& metrics, int width) {
    QStringList lines;
    QString line;
    for (const QString& word : text.split(u' ', Qt::SkipEmptyParts)) {
        const QString longer = line.isEmpty() ? word : line + u' ' + word;
        if (!line.isEmpty() && metrics.horizontalAdvance(longer) > width) {
            lines << line;
            line = word;
        } else {
            line = longer;
        }
    }
    if (!line.isEmpty())
        lines << line;
    return lines.join(u'\n');
}

QLabel* addLabel(QWidget* parent, const QString& text, QRect geometry, bool bold = false) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    return label;
}

QPushButton* addButton(QDialog* dialog, const char* name, const QString& caption, QRect geometry,
                       int result) {
    auto* button = new QPushButton(caption, dialog);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    QObject::connect(button, &QPushButton::clicked, dialog,
                     [dialog, result] { dialog->done(result); });
    return button;
}

} // namespace

TSuchenDlg::TSuchenDlg() {
    SetUpDialogFrame(this, QStringLiteral("SuchenDlg"), QStringLiteral("Suchen"), {297, 150});
    addLabel(this, QStringLiteral("Suche nach einer Zuvex 910k"), {16, 16, 265, 17}, true);
    addLabel(this, QStringLiteral("Bitte warten..."), {16, 40, 265, 17}, true);
    lblComPortNumber = addLabel(this, QString(), {16, 72, 265, 17});
    lblComPortNumber->setObjectName(QStringLiteral("lblComPortNumber"));
    OKBtn = addButton(this, "OKBtn", QStringLiteral("OK"), {56, 110, 75, 25}, mrOk);
    CancelBtn =
        addButton(this, "CancelBtn", QStringLiteral("Abbrechen"), {152, 110, 89, 25}, mrCancel);
    OKBtn->setDefault(true);
}

void TSuchenDlg::DisableButtons() {
    OKBtn->setEnabled(false);
    CancelBtn->setEnabled(false);
}

void TSuchenDlg::keyPressEvent(QKeyEvent* event) {
    // Enter and Esc act only through enabled buttons; the close box always works.
    if (event->key() == Qt::Key_Escape) {
        if (CancelBtn->isEnabled())
            CancelBtn->click();
        event->accept();
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !OKBtn->isEnabled()) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

TKeineAnlageDlg::TKeineAnlageDlg() {
    SetUpDialogFrame(this, QStringLiteral("KeineAnlageDlg"),
                     QStringLiteral("Keine Zuvex 910k gefunden"), {329, 137});
    addLabel(this, QStringLiteral("Es wurde keine Zuvex 910k gefunden."), {16, 16, 297, 17});
    addLabel(this, QStringLiteral("Wollen Sie offline weiterarbeiten, oder erneut "),
             {16, 40, 297, 17});
    addLabel(this, QStringLiteral("nach einer Zuvex 910k suchen?"), {16, 58, 297, 17});
    OKBtn = addButton(this, "OKBtn", QStringLiteral("Offline"), {72, 96, 81, 25}, mrOk);
    CancelBtn = addButton(this, "CancelBtn", QStringLiteral("Suchen"), {176, 96, 81, 25}, mrRetry);
    OKBtn->setDefault(true);
    OKBtn->setAutoDefault(true);
    lblBerechtigung = addLabel(this, QString(), {16, 82, 297, 17});
    lblBerechtigung->setObjectName(QStringLiteral("lblBerechtigung"));
    lblBerechtigung->hide();
}

void TKeineAnlageDlg::SetPermissionHint(const QString& text) {
    constexpr int hintTop = 82;
    constexpr int buttonsTop = 96;
    int grow = 0;
    const int width = lblBerechtigung->width();
    lblBerechtigung->setText(linesBrokenAtSpaces(text, lblBerechtigung->fontMetrics(), width));
    lblBerechtigung->setVisible(!text.isEmpty());
    if (!text.isEmpty()) {
        const int height = lblBerechtigung->sizeHint().height();
        lblBerechtigung->resize(width, height);
        grow = hintTop + height + 14 - buttonsTop;
    }
    OKBtn->move(OKBtn->x(), buttonsTop + grow);
    CancelBtn->move(CancelBtn->x(), buttonsTop + grow);
    setFixedHeight(137 + grow);
}

void TKeineAnlageDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        CancelBtn->click(); // Esc searches again; only the close box gives mrCancel
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

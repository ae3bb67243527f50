#include "app/DialogFrame.h"

#include <QDialog>
#include <QLabel>

QFont ProgramFont() {
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(13);
    return f;
}

void SetUpDialogFrame(QDialog* dialog, const QString& objectName, const QString& caption,
                      QSize clientSize) {
    dialog->setObjectName(objectName);
    dialog->setWindowTitle(caption);
    dialog->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint);
    dialog->setFont(ProgramFont());
    dialog->setFixedSize(clientSize);
    dialog->setAutoFillBackground(true);
    dialog->setBackgroundRole(QPalette::Button);
}

void LabelField(QLabel* label, QWidget* field) {
    label->setBuddy(field);
    QString name = label->text().remove(u'&');
    if (name.endsWith(u':'))
        name.chop(1);
    field->setAccessibleName(name);
}

#pragma once

#include "config/EditorPages.h"

#include <QCheckBox>
#include <QRadioButton>
#include <QTest>
#include <QWidget>
#include <memory>

// The state portState() gives for a Telefon port as the factory sets it.
inline const QString FactoryPort =
    QStringLiteral("vab E+ hab E- nab E- tb E+ arb E+ k E+ E+ E+ E+");

// A stand-in for the main window's client area: the tree region and the page region
// at their places, with the editor built into them and MarkModified counted.
struct EditorHost {
    QWidget window;
    QWidget* treeArea;
    QWidget* pageArea;
    std::unique_ptr<TEditorPages> editor;
    int modifiedCalls = 0;

    enum Start { Unset, Factory };
    explicit EditorHost(Start start = Unset) {
        window.resize(760, 437);
        treeArea = new QWidget(&window);
        treeArea->setGeometry(0, 30, 161, 387);
        pageArea = new QWidget(&window);
        pageArea->setGeometry(161, 30, 368, 388);
        editor = std::make_unique<TEditorPages>(treeArea, pageArea);
        editor->MarkModified = [this] { ++modifiedCalls; };
        if (start == Factory)
            editor->SetFactoryDefaults();
    }

    template <class T> T* find(const QString& name) const {
        auto* w = window.findChild<T*>(name);
        if (!w)
            qFatal("no %s %s", T::staticMetaObject.className(), qPrintable(name));
        return w;
    }
    QRadioButton* rb(const QString& name) const { return find<QRadioButton>(name); }
    QCheckBox* cb(const QString& name) const { return find<QCheckBox>(name); }
    QAbstractButton* button(const QString& name) const { return find<QAbstractButton>(name); }

    // One step of a scripted edit: "RBTfe21" clicks like the user (nothing happens on a
    // disabled control), "CBtb21=0" / "RBTfe21=1" sets the state like the program does,
    // "SetFactoryDefaults" is the command "Neu erstellen".
    void run(const QString& step) const {
        if (step == QLatin1String("SetFactoryDefaults")) {
            editor->SetFactoryDefaults();
            return;
        }
        const qsizetype eq = step.indexOf(u'=');
        if (eq < 0) {
            button(step)->click();
            return;
        }
        button(step.left(eq))->setChecked(step.mid(eq + 1) == QLatin1String("1"));
    }
    void run(const QStringList& steps) const {
        for (const QString& s : steps)
            run(s);
    }
    // Steps separated by blanks: "RBTfe22 CBtb23=1".
    void runAll(const QString& steps) const { run(steps.split(u' ', Qt::SkipEmptyParts)); }

    // The image the editor writes over `image`.
    ConfigImage image(ConfigImage image = {}) const {
        editor->EditorToImage(image);
        return image;
    }

    // "E+" enabled and checked, "D-" disabled and clear, ...
    static QString state(const QAbstractButton* b) {
        return QString(b->isEnabled() ? u'E' : u'D') + QString(b->isChecked() ? u'+' : u'-');
    }
    // The permission and ring state of one port in one line.
    QString portState(int p) const {
        const TPortControls& c = editor->Port(p);
        QString s = QStringLiteral("vab %1 hab %2 nab %3 tb %4 arb %5 k")
                        .arg(state(c.vab), state(c.hab), state(c.nab), state(c.tb), state(c.arb));
        for (QCheckBox* box : c.taste)
            s += u' ' + state(box);
        return s;
    }
    QStringList portStates() const {
        return {portState(1), portState(2), portState(3), portState(4)};
    }
    // Enabled state of one kind of type button at the four ports, e.g. "EDDD".
    QString typeEnabled(const char* prefix) const {
        QString s;
        for (int p = 1; p <= 4; ++p)
            s += rb(QString::fromLatin1(prefix) + QString::number(20 + p))->isEnabled() ? u'E'
                                                                                        : u'D';
        return s;
    }
};

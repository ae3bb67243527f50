#pragma once

#include "config/EditorPages.h"

#include <QtTest>
#include <QtWidgets>
#include <memory>

// How a control looks to the user: enabled or greyed out, checked or not.
enum class Look { On, Off, GreyOn, GreyOff };

// The permission and ring controls of one port as the user sees them.
struct PortLook {
    Look vab, hab, nab, tb, arb;
    std::array<Look, 4> bells;
    bool operator==(const PortLook&) const = default;
};

inline char* toString(const PortLook& p) {
    static const char* const names[] = {"On", "Off", "GreyOn", "GreyOff"};
    QByteArray text;
    for (Look look :
         {p.vab, p.hab, p.nab, p.tb, p.arb, p.bells[0], p.bells[1], p.bells[2], p.bells[3]})
        text += names[int(look)] + QByteArray(" ");
    return qstrdup(text.constData());
}

namespace PortLooks {
using enum Look;
constexpr std::array<Look, 4> BellsOn{On, On, On, On};
constexpr std::array<Look, 4> BellsGrey{GreyOff, GreyOff, GreyOff, GreyOff};
constexpr PortLook Telefon{On, Off, Off, On, On, BellsOn}; // as the factory sets a port
constexpr PortLook Anrufbeantworter{On, Off, GreyOff, GreyOff, GreyOn, BellsGrey};
constexpr PortLook Tfe{GreyOff, GreyOff, On, GreyOff, GreyOff, BellsGrey};
} // namespace PortLooks

// The main window's client area: the editor built into its tree and page regions, marks counted.
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
    // From the factory state, after the user clicked the controls in turn.
    explicit EditorHost(const QStringList& clicks) : EditorHost(Factory) { click(clicks); }

    template <class T> T* find(const QString& name) const {
        auto* w = window.findChild<T*>(name);
        if (!w)
            qFatal("no %s %s", T::staticMetaObject.className(), qPrintable(name));
        return w;
    }
    QAbstractButton* button(const QString& name) const { return find<QAbstractButton>(name); }

    // Clicks the controls in turn, as the user does: a disabled control does nothing.
    void click(const QStringList& names) const {
        for (const QString& name : names)
            button(name)->click();
    }

    static Look look(const QAbstractButton* b) {
        if (b->isEnabled())
            return b->isChecked() ? Look::On : Look::Off;
        return b->isChecked() ? Look::GreyOn : Look::GreyOff;
    }
    PortLook portLook(int port) const {
        const TPortControls& c = editor->Port(port);
        PortLook seen{look(c.vab), look(c.hab), look(c.nab), look(c.tb), look(c.arb), {}};
        for (int k = 0; k < 4; ++k)
            seen.bells[k] = look(c.taste[k]);
        return seen;
    }
    // The ports (1..4) where the type button with that name prefix can be chosen.
    QList<int> choosableAt(const char* prefix) const {
        QList<int> ports;
        for (int p = 1; p <= 4; ++p)
            if (button(QString::fromLatin1(prefix) + QString::number(20 + p))->isEnabled())
                ports << p;
        return ports;
    }
};

inline const QList<int> AllPorts{1, 2, 3, 4};

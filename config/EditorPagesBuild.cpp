// Builds the tree and the four page panels. Sizes are in pixels of the main window's
// client area; all pages share one place and size, and only one is visible at a time.
#include "config/EditorFonts.h"
#include "config/EditorPages.h"

#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

// The pictures of resources/ are compiled into this static library; their initialiser
// must be referenced or the linker drops it.
void InitConfigResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    (void)done;
}

namespace {
constexpr int PageWidth = 368;
constexpr int PageHeight = 388;
constexpr int LabelX = 8;
constexpr int FirstColumnX = 236;
constexpr int ColumnStep = 32;
constexpr int ColumnWidth = 28;
constexpr int RowStep = 22;
constexpr int RowHeight = 20;

QString portName(const QString& prefix, int port) {
    return prefix + QString::number(20 + port);
}

QFrame* makePage(QWidget* pageParent, const char* name, const QString& heading) {
    auto* page = new QFrame(pageParent);
    page->setObjectName(QString::fromLatin1(name));
    page->setGeometry(0, 0, PageWidth, PageHeight);
    page->setFont(windowFont());
    page->hide();
    if (!heading.isEmpty()) {
        auto* label = new QLabel(heading, page);
        label->setFont(headingFont());
        label->setGeometry(LabelX, 8, PageWidth - 2 * LabelX, 24);
    }
    return page;
}

QFrame* makeGroupPanel(QWidget* parent, const QString& name, const QRect& geometry) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(geometry);
    return panel;
}

QLabel* makeRowLabel(QWidget* parent, const QString& text, int y) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(LabelX, y, FirstColumnX - LabelX - 4, RowHeight);
    return label;
}

// "Anschluss" and the column headers "1".."4" in the highlight colour.
void makeColumnHeaders(QWidget* page, int y) {
    auto* label = new QLabel(QStringLiteral("Anschluss"), page);
    label->setGeometry(LabelX, y, FirstColumnX - LabelX - 4, RowHeight);
    for (int p = 1; p <= 4; ++p) {
        auto* head = new QLabel(QString::number(p), page);
        head->setAlignment(Qt::AlignCenter);
        head->setAutoFillBackground(true);
        QPalette pal = head->palette();
        pal.setColor(QPalette::Window, pal.color(QPalette::Highlight));
        pal.setColor(QPalette::WindowText, pal.color(QPalette::HighlightedText));
        head->setPalette(pal);
        head->setGeometry(FirstColumnX + (p - 1) * ColumnStep, y, ColumnWidth, RowHeight);
    }
}

// A control without caption, centred in its column cell. A screen reader names it by its port
// and its row: "Anschluss 1 (21): amtsberechtigt".
template <class Button>
Button* makeCellButton(QWidget* panel, const QString& namePrefix, int port, int row,
                       const QString& rowLabel) {
    auto* b = new Button(panel);
    b->setObjectName(portName(namePrefix, port));
    b->setAccessibleName(
        QStringLiteral("Anschluss %1 (%2): %3").arg(port).arg(20 + port).arg(rowLabel));
    const int indicator = b->sizeHint().width();
    b->setGeometry((ColumnWidth - indicator) / 2, 3 + row * RowStep, indicator, RowHeight);
    return b;
}
// Tab enters a radio group at its selected button, so that the first thing a screen reader says
// in a group is its setting; left alone, Qt enters at the button that last had the focus.
void tabToSelectedButton(QRadioButton* button) {
    QObject::connect(button, &QAbstractButton::toggled, button, [button](bool selected) {
        if (!selected)
            return;
        for (auto* other :
             button->parentWidget()->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly))
            other->setFocusPolicy(other == button ? Qt::StrongFocus : Qt::ClickFocus);
    });
}
} // namespace

TEditorPages::TEditorPages(QWidget* treeParent, QWidget* pageParent, QObject* parent)
    : QObject(parent) {
    InitConfigResources();
    buildTree(treeParent);
    buildImagePage(pageParent);
    buildLtgPage(pageParent);
    buildTlnPage(pageParent);
    buildRufPage(pageParent);
    for (QRadioButton* button : pageParent->findChildren<QRadioButton*>())
        tabToSelectedButton(button);
    panelImage_->show();
    connectRules();
}

void TEditorPages::buildTree(QWidget* treeParent) {
    tree_ = new QTreeWidget(treeParent);
    tree_->setObjectName(QStringLiteral("TreeView1"));
    tree_->setAccessibleName(QStringLiteral("Seiten"));
    tree_->setFont(windowFont());
    tree_->setHeaderHidden(true);
    tree_->setRootIsDecorated(false);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    auto* root = new QTreeWidgetItem(tree_, {QStringLiteral("Konfiguration")});
    for (const char* child : {"Externanschluss", "Berechtigungen", "Rufverteilung"})
        new QTreeWidgetItem(root, {QString::fromUtf8(child)});
    tree_->expandAll();
    if (QLayout* layout = treeParent->layout()) {
        layout->addWidget(tree_);
    } else {
        auto* box = new QVBoxLayout(treeParent);
        box->setContentsMargins(0, 0, 0, 0);
        box->addWidget(tree_);
    }

    // TreeView1Change follows the selection, not the current node: tabbing into the tree makes
    // a node current without selecting it, and that shows no page.
    connect(tree_, &QTreeWidget::itemSelectionChanged, this, [this] {
        const QList<QTreeWidgetItem*> selected = tree_->selectedItems();
        if (!selected.isEmpty())
            ShowPage(selected.first());
    });
    tree_->viewport()->installEventFilter(this);
}

bool TEditorPages::eventFilter(QObject* watched, QEvent* event) {
    // The event type first: while the window is torn down the tree may already be gone.
    const QEvent::Type type = event->type();
    const bool button = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick ||
                        type == QEvent::MouseButtonRelease;
    if (!button || !tree_ || watched != tree_->viewport())
        return QObject::eventFilter(watched, event);
    // Only the left button selects a node; the others leave the tree as it is.
    if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
        return true;
    // TreeView1Click: the selected node, also when it was selected already.
    if (type == QEvent::MouseButtonRelease && tree_->currentItem() &&
        tree_->currentItem()->isSelected())
        ShowPage(tree_->currentItem());
    return QObject::eventFilter(watched, event);
}

void TEditorPages::buildImagePage(QWidget* pageParent) {
    panelImage_ = makePage(pageParent, "PanelImage", QString());
    image1_ = new QLabel(panelImage_);
    image1_->setObjectName(QStringLiteral("Image1"));
    image1_->setPixmap(QPixmap(QStringLiteral(":/images/overview.gif")));
    image1_->setGeometry(8, 53, 340, 236);
}

void TEditorPages::buildLtgPage(QWidget* pageParent) {
    panelLtg_ = makePage(pageParent, "PanelLtg", QStringLiteral("Externanschluss"));
    struct Group {
        YesNoGroup* group;
        const char* name;
        const char* label;
        const char* ja;
        const char* nein;
    };
    const Group groups[] = {
        {&amtsholung_, "Amtsholung", "Amtsholung", "automatisch", "durch Vorwahl der Kennziffer 0"},
        {&heranholen_, "Heranholen", "Externanrufe heranholen", "ja", "nein"},
        {&anklopfschutz_, "Anklopfschutz", "Anklopfschutz", "ja", "nein"},
        {&wartemusik_, "Wartemusik", "Wartemusik", "ein", "aus"},
    };
    int y = 42;
    for (const Group& g : groups) {
        const QString name = QString::fromLatin1(g.name);
        QFrame* panel = makeGroupPanel(panelLtg_, QStringLiteral("Panel") + name,
                                       QRect(LabelX, y, PageWidth - 2 * LabelX, 78));
        auto* label = new QLabel(QString::fromUtf8(g.label), panel);
        label->setObjectName(QStringLiteral("lbl") + name);
        label->setGeometry(10, 6, 320, RowHeight);
        auto* ja = new QRadioButton(QString::fromUtf8(g.ja), panel);
        ja->setObjectName(QStringLiteral("RB") + name + QStringLiteral("Ja"));
        ja->setAccessibleName(label->text() + QStringLiteral(": ") + ja->text());
        ja->setGeometry(24, 28, 300, RowHeight);
        auto* nein = new QRadioButton(QString::fromUtf8(g.nein), panel);
        nein->setObjectName(QStringLiteral("RB") + name + QStringLiteral("Nein"));
        nein->setAccessibleName(label->text() + QStringLiteral(": ") + nein->text());
        nein->setGeometry(24, 50, 300, RowHeight);
        *g.group = {panel, ja, nein};
        y += 86;
    }
}

void TEditorPages::buildTlnPage(QWidget* pageParent) {
    panelTln_ = makePage(pageParent, "PanelTln", QStringLiteral("Gerätetyp und Berechtigungen"));
    constexpr int HeaderY = 44;
    constexpr int TypY = 70;
    constexpr int BerechtY = TypY + 3 * RowStep + 16;
    makeColumnHeaders(panelTln_, HeaderY);

    const QString typLabels[] = {QStringLiteral("Gerätetyp Telefon/Fax/Kombigerät"),
                                 QStringLiteral("Gerätetyp Anrufbeantworter"),
                                 QStringLiteral("Gerätetyp TFE")};
    for (int r = 0; r < 3; ++r)
        makeRowLabel(panelTln_, typLabels[r], TypY + 3 + r * RowStep);
    const QString berechtLabels[] = {
        QStringLiteral("amtsberechtigt"), QStringLiteral("halbamtsberechtigt"),
        QStringLiteral("nichtamtsberechtigt"), QStringLiteral("türberechtigt")};
    for (int r = 0; r < 4; ++r)
        makeRowLabel(panelTln_, berechtLabels[r], BerechtY + 3 + r * RowStep);

    for (int p = 1; p <= 4; ++p) {
        TPortControls& c = ports_[p - 1];
        const int x = FirstColumnX + (p - 1) * ColumnStep;
        c.panelTyp = makeGroupPanel(panelTln_, QStringLiteral("PanelTyp%1").arg(p),
                                    QRect(x, TypY, ColumnWidth, 3 * RowStep + 4));
        c.telefon = makeCellButton<QRadioButton>(c.panelTyp, QStringLiteral("RBTelefon"), p, 0,
                                                 typLabels[0]);
        c.anrufbeantworter = makeCellButton<QRadioButton>(
            c.panelTyp, QStringLiteral("RBAnrufbeantworter"), p, 1, typLabels[1]);
        c.tfe =
            makeCellButton<QRadioButton>(c.panelTyp, QStringLiteral("RBTfe"), p, 2, typLabels[2]);

        c.panelBerecht = makeGroupPanel(panelTln_, QStringLiteral("PanelBerecht%1").arg(p),
                                        QRect(x, BerechtY, ColumnWidth, 4 * RowStep + 4));
        c.vab = makeCellButton<QRadioButton>(c.panelBerecht, QStringLiteral("RBvab"), p, 0,
                                             berechtLabels[0]);
        c.hab = makeCellButton<QRadioButton>(c.panelBerecht, QStringLiteral("RBhab"), p, 1,
                                             berechtLabels[1]);
        c.nab = makeCellButton<QRadioButton>(c.panelBerecht, QStringLiteral("RBnab"), p, 2,
                                             berechtLabels[2]);
        c.tb = makeCellButton<QCheckBox>(c.panelBerecht, QStringLiteral("CBtb"), p, 3,
                                         berechtLabels[3]);
    }
}

void TEditorPages::buildRufPage(QWidget* pageParent) {
    panelRuf_ = makePage(pageParent, "PanelRuf", QStringLiteral("Rufsignalisierung festlegen"));
    constexpr int HeaderY = 44;
    constexpr int RufY = 70;
    makeColumnHeaders(panelRuf_, HeaderY);
    const QString arbLabel = QStringLiteral("Externanruf");
    makeRowLabel(panelRuf_, arbLabel, RufY + 3);
    QString tasteLabels[4];
    for (int k = 1; k <= 4; ++k) {
        tasteLabels[k - 1] = QStringLiteral("Klingeltaste %1").arg(k);
        makeRowLabel(panelRuf_, tasteLabels[k - 1], RufY + 3 + k * RowStep);
    }

    for (int p = 1; p <= 4; ++p) {
        TPortControls& c = ports_[p - 1];
        const int x = FirstColumnX + (p - 1) * ColumnStep;
        c.panelRuf = makeGroupPanel(panelRuf_, QStringLiteral("PanelRuf%1").arg(p),
                                    QRect(x, RufY, ColumnWidth, 5 * RowStep + 4));
        c.arb = makeCellButton<QCheckBox>(c.panelRuf, QStringLiteral("CBarb"), p, 0, arbLabel);
        for (int k = 1; k <= 4; ++k)
            c.taste[k - 1] = makeCellButton<QCheckBox>(
                c.panelRuf, QStringLiteral("CBTaste%1Ruf").arg(k), p, k, tasteLabels[k - 1]);
    }

    const int buttonY = RufY + 5 * RowStep + 24;
    buttonTlnEin_ =
        new QPushButton(QStringLiteral("Türrufe an allen Anschlüssen signalisieren"), panelRuf_);
    buttonTlnEin_->setObjectName(QStringLiteral("ButtonTlnEin"));
    buttonTlnEin_->setGeometry(LabelX, buttonY, PageWidth - 2 * LabelX, 27);
    buttonTlnAus_ =
        new QPushButton(QStringLiteral("Türrufe an keinem Anschluss signalisieren"), panelRuf_);
    buttonTlnAus_->setObjectName(QStringLiteral("ButtonTlnAus"));
    buttonTlnAus_->setGeometry(LabelX, buttonY + 35, PageWidth - 2 * LabelX, 27);
}

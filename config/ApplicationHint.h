#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <functional>

class QAction;
class QMenu;
class QWidget;

// Hints have the form "short|long": the short part is a tool tip, the long part is
// what the application's current hint reports. Widgets and actions keep theirs in the
// dynamic property "hint"; a widget without one uses its nearest ancestor's.
namespace Hint {
inline constexpr char Property[] = "hint";
void set(QObject* object, const QString& hint);
QString of(const QObject* object);
QString shortPart(const QString& hint);
QString longPart(const QString& hint); // the whole text when it has no bar
QString forTopic(int topic);           // "|" followed by the topic number
QString ofAction(const QAction* action);
QString resolve(const QWidget* widget); // nearest enclosing widget with a hint
} // namespace Hint

// The application's one current hint. While a menu is open it is the hint of the
// highlighted item (empty when the menu closes); otherwise the hint resolved from the
// widget under the mouse. OnApplicationHint runs whenever it changes.
class TApplicationHint : public QObject {
    Q_OBJECT
public:
    explicit TApplicationHint(QObject* parent = nullptr); // watches the whole application
    ~TApplicationHint() override;

    std::function<void(const QString& hint)> OnApplicationHint;
    QString CurrentHint() const { return current_; }
    void SetHint(const QString& hint);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void menuHovered(QAction* action);
    void menuDestroyed(QObject* menu);

private:
    void watchMenu(QMenu* menu);
    void hoverWidget(QWidget* widget);

    QString current_;
    QSet<QObject*> openMenus_; // popup menus now shown
};

#include "accessible_roles.h"

#include <QAccessibleWidget>

#include "tcontrols.h"

namespace {

class LinkAccessible final : public QAccessibleWidget {
public:
    explicit LinkAccessible(TLabel* label) : QAccessibleWidget(label, QAccessible::Link) {}

    TLabel* label() const { return static_cast<TLabel*>(widget()); }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && label()->accessibleName().isEmpty()) return label()->Text();
        return QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    QStringList keyBindingsForAction(const QString& action) const override {
        if (action == pressAction()) return {QStringLiteral("Return"), QStringLiteral("Space")};
        return QAccessibleWidget::keyBindingsForAction(action);
    }

    void doAction(const QString& action) override {
        if (action == pressAction())
            label()->Click();
        else
            QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface* factory(const QString& className, QObject* object) {
    if (className == QLatin1String("TLabel")) {
        auto* label = static_cast<TLabel*>(object);
        return label->IsLink() ? new LinkAccessible(label) : nullptr;
    }
    // Reached for a class that Qt has no interface of its own for, as the
    // search climbs to QWidget: the forms, the network view.
    if (className == QLatin1String("QWidget")) {
        auto* widget = static_cast<QWidget*>(object);
        if (widget->windowType() == Qt::Window) return new QAccessibleWidget(widget, QAccessible::Window);
    }
    return nullptr;
}

}  // namespace

void InstallPlatformAccessibility() {
    static const bool installed = (QAccessible::installFactory(factory), true);
    static_cast<void>(installed);
}

#include "tchart_accessible.h"

#include "dialogs.h"
#include "tchart.h"

#include <QAccessibleWidget>
#include <QStringList>
#include <QTimer>

namespace {

class chart_accessible final : public QAccessibleWidget {
public:
    explicit chart_accessible(TChart* chart) : QAccessibleWidget(chart, QAccessible::Chart) {}

    TChart* chart() const { return static_cast<TChart*>(widget()); }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) return chart_accessible_name(*chart());
        if (t == QAccessible::Description) return chart_accessible_description(*chart());
        return QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        if (action != pressAction()) return QAccessibleWidget::doAction(action);
        TChart* c = chart();
        handle_event([c] { emit c->OnClick(c); });
    }

    // What screen readers last heard; null until the first notice, so that
    // the first one always goes out.
    QString heard_name;
    QString heard_description;
    bool notice_pending = false;
};

QAccessibleInterface* chart_factory(const QString& class_name, QObject* object) {
    if (class_name == QLatin1String("TChart"))
        if (auto* chart = qobject_cast<TChart*>(object)) return new chart_accessible(chart);
    return nullptr;
}

chart_accessible* interface_of(TChart* chart) {
    return dynamic_cast<chart_accessible*>(QAccessible::queryAccessibleInterface(chart));
}

void send_notices(TChart* chart) {
    chart_accessible* iface = interface_of(chart);
    if (!iface) return;
    iface->notice_pending = false;
    const QString name = chart_accessible_name(*chart);
    if (name != iface->heard_name || iface->heard_name.isNull()) {
        iface->heard_name = name;
        QAccessibleEvent event(chart, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
    const QString description = chart_accessible_description(*chart);
    if (description != iface->heard_description || iface->heard_description.isNull()) {
        iface->heard_description = description;
        QAccessibleEvent event(chart, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&event);
    }
}

}  // namespace

void install_chart_accessibility() {
    static const bool installed = (QAccessible::installFactory(chart_factory), true);
    (void)installed;
}

QString chart_accessible_name(TChart& chart) {
    QStringList lines;
    for (int i = 0; i < chart.TitleText().Count(); ++i) lines << chart.TitleText().Strings(i);
    return lines.join(QLatin1Char(' '));
}

QString chart_accessible_description(TChart& chart) {
    QStringList parts{chart.View3D() ? QStringLiteral("3-D view") : QStringLiteral("2-D view")};
    if (chart.SeriesCount() == 0) parts << QStringLiteral("no series");
    for (int i = 0; i < chart.SeriesCount(); ++i) {
        const int n = chart.Series(i)->Count();
        parts << QStringLiteral("%1: %2 %3").arg(chart.SeriesName(i)).arg(n).arg(n == 1 ? "point" : "points");
    }
    return parts.join(QStringLiteral("; "));
}

void chart_accessible_changed(TChart* chart) {
    if (!chart || !QAccessible::isActive()) return;
    chart_accessible* iface = interface_of(chart);
    if (!iface || iface->notice_pending) return;
    iface->notice_pending = true;
    QTimer::singleShot(0, chart, [chart] { send_notices(chart); });
}

#include "tlearningpanel.h"

#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// A number as the spin boxes show it, without trailing zeros: 0.5, 1, 2.25.
QString number(real v) { return QString::number(static_cast<double>(v), 'g', 6); }

QDoubleSpinBox* spin_box(QWidget* parent, const QString& name, double low, double high, double step,
                         real value) {
    auto* box = new QDoubleSpinBox(parent);
    box->setRange(low, high);
    box->setDecimals(2);
    box->setSingleStep(step);
    box->setValue(value);
    box->setAccessibleName(name);
    return box;
}

}  // namespace

QString start_text(const learning& how) {
    return how.start == start_kind::designed
               ? QStringLiteral("start as designed")
               : QStringLiteral("start zero mean, deviation %1").arg(number(how.deviation));
}

QString step_text(const learning& how) {
    return (how.rule == rule_kind::designed ? QStringLiteral("rule as designed")
                                            : QStringLiteral("rule with the sigmoid's slope")) +
           QStringLiteral(", rate %1").arg(number(how.rate));
}

QString train_hint(const learning& in_effect, const learning& chosen) {
    learning next = in_effect;
    next.rule = chosen.rule;
    next.rate = chosen.rate;
    if (next.start == start_kind::designed && designed_step(next)) return {};
    return QStringLiteral("Trains with: %1; %2").arg(start_text(next), step_text(next));
}

TLearningPanel::TLearningPanel(QWidget* parent) : QGroupBox(QStringLiteral("Learning"), parent) {
    auto* start = new QGroupBox(QStringLiteral("Start"), this);
    m_designedStart = new QRadioButton(QStringLiteral("as designed"), start);
    m_zeroMean = new QRadioButton(QStringLiteral("zero mean"), start);
    m_deviation = spin_box(start, QStringLiteral("Deviation"), 0.01, 10, 0.1, m_chosen.deviation);
    auto* deviation_label = new QLabel(QStringLiteral("Deviation"), start);
    deviation_label->setBuddy(m_deviation);
    auto* deviation_row = new QHBoxLayout;
    deviation_row->addWidget(deviation_label);
    deviation_row->addWidget(m_deviation);
    auto* start_column = new QVBoxLayout(start);
    start_column->addWidget(m_designedStart);
    start_column->addWidget(m_zeroMean);
    start_column->addLayout(deviation_row);

    auto* rule = new QGroupBox(QStringLiteral("Rule"), this);
    m_designedRule = new QRadioButton(QStringLiteral("as designed"), rule);
    m_slopeRule = new QRadioButton(QStringLiteral("with the sigmoid's slope"), rule);
    auto* rule_column = new QVBoxLayout(rule);
    rule_column->addWidget(m_designedRule);
    rule_column->addWidget(m_slopeRule);
    rule_column->addStretch();

    m_rate = spin_box(this, QStringLiteral("Rate"), 0.01, 20, 0.25, m_chosen.rate);
    auto* rate_label = new QLabel(QStringLiteral("Rate"), this);
    rate_label->setBuddy(m_rate);
    m_newStart = new QPushButton(QStringLiteral("New start"), this);
    m_newStart->setToolTip(QStringLiteral("Draws every weight again with the chosen start"));

    m_inEffectLabel = new QLabel(this);
    m_inEffectLabel->setWordWrap(true);
    m_inEffectLabel->setAccessibleName(QStringLiteral("Settings in effect"));

    // A group box is otherwise named after the box around it.
    setAccessibleName(title());
    for (QGroupBox* group : {start, rule}) group->setAccessibleName(group->title());

    // The two groups side by side, the rule's longer choice taking the room
    // left; the rate and the button below; then what is in effect.
    auto* groups = new QHBoxLayout;
    groups->addWidget(start);
    groups->addWidget(rule, 1);
    auto* rate_row = new QHBoxLayout;
    rate_row->addWidget(rate_label);
    rate_row->addWidget(m_rate);
    rate_row->addStretch(1);
    rate_row->addWidget(m_newStart);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 6);
    for (QLayout* inner : {start_column, rule_column}) inner->setContentsMargins(6, 6, 6, 6);
    column->addLayout(groups);
    column->addLayout(rate_row);
    column->addWidget(m_inEffectLabel);

    m_designedStart->setChecked(true);
    m_designedRule->setChecked(true);
    m_deviation->setEnabled(false);
    for (QRadioButton* choice : {m_designedStart, m_zeroMean, m_designedRule, m_slopeRule})
        connect(choice, &QRadioButton::toggled, this, [this](bool on) {
            if (on) readChoices();
        });
    for (QDoubleSpinBox* box : {m_deviation, m_rate})
        connect(box, &QDoubleSpinBox::valueChanged, this, &TLearningPanel::readChoices);
    connect(m_newStart, &QPushButton::clicked, this, &TLearningPanel::NewStart);
    showInEffect();
}

void TLearningPanel::readChoices() {
    m_chosen.start = m_zeroMean->isChecked() ? start_kind::zero_mean : start_kind::designed;
    m_chosen.deviation = static_cast<real>(m_deviation->value());
    m_chosen.rule = m_slopeRule->isChecked() ? rule_kind::slope : rule_kind::designed;
    m_chosen.rate = static_cast<real>(m_rate->value());
    m_deviation->setEnabled(m_chosen.start == start_kind::zero_mean);
    showInEffect();
    emit Changed();
}

void TLearningPanel::SetInEffect(const learning& how) {
    m_inEffect = how;
    showInEffect();
}

QString TLearningPanel::InEffectText() const { return m_inEffectLabel->text(); }

void TLearningPanel::showInEffect() {
    QString text = QStringLiteral("In effect: %1; %2.").arg(start_text(m_inEffect), step_text(m_inEffect));
    if (m_chosen.rule != m_inEffect.rule || m_chosen.rate != m_inEffect.rate)
        text += QStringLiteral("\nNext Train: %1.").arg(step_text(m_chosen));
    const bool same_start =
        m_chosen.start == m_inEffect.start &&
        (m_chosen.start == start_kind::designed || m_chosen.deviation == m_inEffect.deviation);
    if (!same_start) text += QStringLiteral("\nNew start: %1.").arg(start_text(m_chosen));
    m_inEffectLabel->setText(text);
    m_inEffectLabel->setAccessibleDescription(text);
}

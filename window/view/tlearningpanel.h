// The learning choices, in the Network window: a group "Start" (as designed,
// or zero mean with its deviation), a group "Rule" (as designed, or with the
// sigmoid's slope), the rate, and "New start". The widgets edit a copy of
// the settings; the form applies it, the rule and rate at the next "Train",
// the start at "New start", and tells the panel what is then in effect.
#pragma once

#include <QGroupBox>

#include "learning.h"

class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QRadioButton;

class TLearningPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit TLearningPanel(QWidget* parent = nullptr);

    // The settings as the widgets show them.
    const learning& Chosen() const { return m_chosen; }
    // What the network runs with now: the start of the weights it holds, the
    // rule and rate of the last run. The panel writes it out, with what the
    // next "Train" or "New start" will change.
    void SetInEffect(const learning& how);
    const learning& InEffect() const { return m_inEffect; }

    QRadioButton* DesignedStart() const { return m_designedStart; }
    QRadioButton* ZeroMeanStart() const { return m_zeroMean; }
    QRadioButton* DesignedRule() const { return m_designedRule; }
    QRadioButton* SlopeRule() const { return m_slopeRule; }
    QDoubleSpinBox* Deviation() const { return m_deviation; }
    QDoubleSpinBox* Rate() const { return m_rate; }
    QPushButton* NewStartButton() const { return m_newStart; }
    QString InEffectText() const;

signals:
    void Changed();   // a choice was changed
    void NewStart();  // "New start" was pressed

private:
    void readChoices();
    void showInEffect();

    learning m_chosen;
    learning m_inEffect;
    QRadioButton* m_designedStart = nullptr;
    QRadioButton* m_zeroMean = nullptr;
    QRadioButton* m_designedRule = nullptr;
    QRadioButton* m_slopeRule = nullptr;
    QDoubleSpinBox* m_deviation = nullptr;
    QDoubleSpinBox* m_rate = nullptr;
    QPushButton* m_newStart = nullptr;
    QLabel* m_inEffectLabel = nullptr;
};

// The settings in words, as the panel and the "Train" tooltip write them.
QString start_text(const learning& how);  // "start as designed", "start zero mean, deviation 0.5"
QString step_text(const learning& how);   // "rule with the sigmoid's slope, rate 2"
// What the next "Train" uses (the start in effect, the rule and rate chosen),
// for the tooltip of "Train": empty where all of it is as designed.
QString train_hint(const learning& in_effect, const learning& chosen);

#include "unit1.h"

#include <QShortcut>
#include <algorithm>

#include "fast_engine.h"
#include "recognition.h"
#include "ui_unit1.h"

TForm1* Form1 = nullptr;
network the_network;
std::array<TListBox*, result_list_count> result_list{};
int report_index = 0;
int training_runs = 0;
TNetworkView* network_view = nullptr;
learning learning_in_effect;
TComboBox* pattern_combo = nullptr;
std::array<TLabel*, input_bits> bit_label{};

namespace {

// A report box tells, in its accessible name and its tooltip, what its lines
// are: each block of lines written into it, in order.
void describe_box(TListBox* box, const QString& text) {
    box->setAccessibleName(text);
    box->setToolTip(text);
}

const QString empty_box = QStringLiteral("Empty report box");

// Appends the block that starts at line `first` (0 while the box was empty,
// so the block is all it holds) to what the box says of itself.
void describe_new_block(TListBox* box, int first, const QString& what, const QString& unit) {
    const QString lines = first == 0 ? QStringLiteral("line d is %1 d").arg(unit)
                                     : QStringLiteral("line %1 + d is %2 d").arg(first).arg(unit);
    if (first == 0) {
        describe_box(box, QStringLiteral("%1: %2").arg(what, lines));
    } else {
        QString block = what;
        block[0] = block[0].toLower();
        describe_box(box, QStringLiteral("%1; %2: %3").arg(box->accessibleName(), block, lines));
    }
}

// The face "Test" draws its digit in: the Kai face 標楷體, as the six bytes of
// its name in the Traditional Chinese code page.
constexpr char kai_face[] = "\xBC\xD0\xB7\xA2\xC5\xE9";

// The designed fonts: the form's 11-pixel sans, the buttons' 32-pixel bold.
QFont designed_font(int pixel_height, bool bold) {
    QFont font("MS Sans Serif");
    font.setPixelSize(pixel_height);
    font.setBold(bold);
    return font;
}

// Where a training run shows itself: a curve per pattern on Chart1, reports in
// the list boxes, and the closing message.
class form_display : public training_display {
public:
    explicit form_display(const std::array<TLineSeries*, digit_count>& series) : pattern_series_(series) {}

    void add_point(int pattern_index, int epoch, real error) override {
        pattern_series_[pattern_index]->AddXY(epoch, error, "", clTeeColor);
    }

    void write_report(const epoch_errors& errors) override {
        TListBox* box = result_list[report_index];
        const int first = box->Items().Count();
        for (real e : errors) box->Items().Add(FloatToStr(e));
        describe_new_block(
            box, first,
            QStringLiteral("Errors after epoch %1, run %2").arg(the_network.train_number).arg(training_runs),
            QStringLiteral("pattern"));
        if (!box->LineInView(first)) box->SetTopIndex(first);
        report_index = std::min(report_index + 1, result_list_count - 1);
    }

    // The network view and the hint of "Test" show the run's end before the
    // message box waits.
    void show_end(int train_number) override {
        describe_test_input();
        network_view->EngineChanged(true);
        ShowMessage("Train Number " + IntToStr(train_number));
    }

private:
    std::array<TLineSeries*, digit_count> pattern_series_;
};

}  // namespace

TForm1::TForm1(QWidget* Owner) : QWidget(Owner) {
    Ui::TForm1 designed;
    designed.setupUi(this);
    Chart1 = designed.Chart1;
    Button1 = designed.Button1;
    Button2 = designed.Button2;
    Image1 = designed.Image1;
    Label1 = designed.Label1;
    setFont(designed_font(11, false));
    Button1->setFont(designed_font(32, true));
    Button2->setFont(designed_font(32, true));
    SetOuterBounds(this, 194, 114, 892, 640);

    Chart1->RemoveAllSeries();
    Chart1->SetView3D(false);
    Chart1->TitleText().Clear();
    Chart1->TitleText().Add("Initial Weight random degree");

    init_network(the_network);

    auto* random_series = new TLineSeries(Chart1);
    random_series->SetParentChart(Chart1);
    random_series->SetTitle("Random Number");
    Chart1->AddSeries(random_series);

    std::array<real, 36> v;
    for (real& value : v) value = random_weight(the_network);
    for (int k = 0; k < 36; ++k) random_series->AddXY(k, v[k], "", clTeeColor);

    create_bit_map_editor();

    int n = 0;
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            auto* box = new TListBox(Form1);
            box->SetParent(Form1);
            box->SetTop(100 * row + 50);
            box->SetLeft(200 * column + 200);
            box->SetWidth(200);
            box->SetHeight(100);
            result_list[n++] = box;
            describe_box(box, empty_box);
        }
    }

    // Tab goes through the designed controls in their designed order, then
    // through the run-time ones as they were made; the grid is one stop, and
    // the label that opens the network view follows it.
    QWidget* previous = Button2;
    auto follow = [&previous](QWidget* next) {
        setTabOrder(previous, next);
        previous = next;
    };
    follow(pattern_combo);
    for (TLabel* cell : bit_label) follow(cell);
    Label1->SetLink(true);  // opens the network view: Enter or Space, or a click
    follow(Label1);
    for (TListBox* box : result_list) follow(box);

    Image1->setAccessibleDescription("The digit that Test recognises");

    network_view = new TNetworkView(this, the_network);
    Label1->SetHint("Opens a window that shows inside the network: outputs, deltas and weights (Ctrl+N)");
    connect(Label1, &TLabel::OnClick, this, &TForm1::Label1Click);
    auto* open_view = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_N), this);
    connect(open_view, &QShortcut::activated, this, [this] { Label1Click(Label1); });

    learning_in_effect = learning{};
    TLearningPanel* learning_panel = network_view->LearningPanel();
    learning_panel->SetInEffect(learning_in_effect);
    connect(learning_panel, &TLearningPanel::Changed, this, [] { describe_train(); });
    connect(learning_panel, &TLearningPanel::NewStart, this,
            [this, learning_panel] { NewStartClick(learning_panel); });
}

void describe_train() {
    const QString hint = train_hint(learning_in_effect, network_view->LearningPanel()->Chosen());
    if (Form1->Button1->toolTip() == hint) return;
    Form1->Button1->setToolTip(hint);
    Form1->Button1->setAccessibleDescription(hint);
}

namespace {

// The group box of the cells: no global keeps it.
TBitMapEditor* bit_group() { return static_cast<TBitMapEditor*>(pattern_combo->parentWidget()); }

}  // namespace

void create_bit_map_editor() {
    load_pattern(the_network, 0);
    auto* editor = new TBitMapEditor(Form1);
    pattern_combo = editor->Digits();
    for (int m = 0; m < input_bits; ++m) bit_label[m] = editor->Cell(m);
    QObject::connect(editor, &TBitMapEditor::OnChange, Form1, &TForm1::InputChange);
    QObject::connect(editor, &TBitMapEditor::OnCellClick, Form1, &TForm1::bitOnClick);
    refresh_bit_labels();
}

void refresh_bit_labels() { bit_group()->Paint(the_network.input_bit); }

bool cells_show_input() { return bit_group()->Shows(the_network.input_bit); }

void describe_test_input() {
    QString hint;
    if (!cells_show_input()) {
        // Only a training run sets input_bit without the cells: it leaves the
        // last digit it trained there, and clicks since change single bits.
        constexpr int last = digit_count - 1;
        hint = QStringLiteral("Recognises the bit map of digit %1, the last one trained, ").arg(last) +
               (the_network.input_bit == pattern[last] ? QString()
                                                       : QStringLiteral("with the cells clicked since, ")) +
               QStringLiteral("not the cells shown");
    }
    network_view->SetCellsShowInput(hint.isEmpty());
    if (Form1->Button2->toolTip() == hint) return;
    Form1->Button2->setToolTip(hint);
    Form1->Button2->setAccessibleDescription(hint);
}

void TForm1::InputChange(QObject* Sender) {
    auto* combo = qobject_cast<TComboBox*>(Sender);
    const int d = combo ? combo->ItemIndex() : -1;
    if (d < 0 || d >= digit_count) return;  // free text or no selection: keep the input
    load_pattern(the_network, d);
    refresh_bit_labels();
    describe_test_input();
    network_view->InputChanged();
}

void TForm1::bitOnClick(QObject* Sender) {
    auto* cell = qobject_cast<TLabel*>(Sender);
    if (!cell) return;
    const int m = StrToInt(SubString(cell->Name(), 4, 2));
    if (m < 0 || m >= input_bits) return;
    if (cell->Color() == clBlack) {
        cell->SetColor(clGray);
        the_network.input_bit[m] = 0;
    } else {
        cell->SetColor(clBlack);
        the_network.input_bit[m] = 1;
    }
    describe_test_input();
    network_view->InputChanged();
}

void TForm1::Button1Click(QObject*) {
    ++training_runs;
    Chart1->RemoveAllSeries();
    Chart1->TitleText().Clear();
    Chart1->TitleText().Add("Eq degree");
    std::array<TLineSeries*, digit_count> pattern_series;
    for (int p = 0; p < digit_count; ++p) {
        auto* series = new TLineSeries(Chart1);
        series->SetParentChart(Chart1);
        series->SetTitle("Pattern" + IntToStr(p));
        Chart1->AddSeries(series);
        pattern_series[p] = series;
    }
    // The rule and the rate chosen apply from this run on.
    const learning& chosen = network_view->LearningPanel()->Chosen();
    learning_in_effect.rule = chosen.rule;
    learning_in_effect.rate = chosen.rate;
    network_view->LearningPanel()->SetInEffect(learning_in_effect);
    form_display display(pattern_series);
    // However the run ends, a throw included, the weights have changed in
    // place: the view and the hint of "Test" follow the network as it is.
    auto follow = [] {
        describe_test_input();
        network_view->EngineChanged(true);
    };
    try {
        train_network(the_network, display, learning_in_effect);
    } catch (...) {
        follow();
        throw;
    }
    follow();
}

void TForm1::NewStartClick(QObject*) {
    // The weights drawn again with the chosen start, the chart and the deltas
    // cleared; the reports, the cells and the input stay.
    const learning& chosen = network_view->LearningPanel()->Chosen();
    learning_in_effect.start = chosen.start;
    learning_in_effect.deviation = chosen.deviation;
    new_start(the_network, learning_in_effect);
    Chart1->RemoveAllSeries();
    network_view->LearningPanel()->SetInEffect(learning_in_effect);
    describe_train();
    network_view->StartedAgain();
}

void TForm1::Button2Click(QObject*) {
    forward_pass(the_network);
    result_list[3]->Items().Clear();
    for (const neuron& n : the_network.layers[2]) result_list[3]->Items().Add(FloatToStr(n.output));
    describe_new_block(result_list[3], 0, "Outputs of Test", "digit");
    const int digit = winner(the_network);
    Image1->setAccessibleName(digit < 0 ? QStringLiteral("No digit recognised")
                                        : QStringLiteral("Recognised digit: %1").arg(digit));

    TCanvas& canvas = Image1->Canvas();
    canvas.Pen().SetColor(clBlack);
    canvas.Font().SetHeight(Image1->Height());
    canvas.Font().SetStyle(TFontStyles() << fsBold);
    canvas.Font().SetName(kai_face);
    canvas.TextOut(0, 0, QString::asprintf("%i", digit));
    network_view->EngineChanged(false);
}

void TForm1::Chart1Click(QObject*) { Chart1->SetView3D(!Chart1->View3D()); }

void TForm1::Label1Click(QObject*) { network_view->Open(); }

// The platform layer under Qt's offscreen platform: text conversions, fonts,
// controls, the canvas, messages and the application object.
#include "platform.h"

#include <QAbstractButton>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <limits>
#include <ostream>
#include <string>
#include <gtest/gtest.h>

// Failures show the text rather than its bytes.
void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

TApplication* application = nullptr;

class ApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override { application = new TApplication(m_argc, m_argv); }
    void TearDown() override {
        delete application;
        application = nullptr;
    }

private:
    int m_argc = 1;
    char m_name[16] = "platform_tests";
    char* m_argv[2] = {m_name, nullptr};
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

// Collects what would have been shown in message boxes while it lives.
class CollectedMessages {
public:
    CollectedMessages() : m_previous(SetMessageFunction([this](const QString& text) { m_texts << text; })) {}
    ~CollectedMessages() { SetMessageFunction(m_previous); }
    const QStringList& texts() const { return m_texts; }

private:
    QStringList m_texts;
    message_function m_previous;
};

const QString kaiFace = QStringLiteral("\u6A19\u6977\u9AD4");

// Dark in every channel: lime, for one, is not.
bool isDark(QRgb pixel) { return std::max({qRed(pixel), qGreen(pixel), qBlue(pixel)}) < 128; }

int darkPixels(const QImage& image, const QRect& area) {
    int dark = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) dark += isDark(image.pixel(x, y));
    return dark;
}

}  // namespace

TEST(FloatToStr, WidenedFloatsShowAllFifteenDigits) {
    EXPECT_EQ(FloatToStr(0.01f), "0.00999999977648258");
    EXPECT_EQ(FloatToStr(0.45f), "0.449999988079071");
    EXPECT_EQ(FloatToStr(0.0001f), "9.99999974737875E-5");
    EXPECT_EQ(FloatToStr(0.00001f), "9.99999974737875E-6");
}

TEST(FloatToStr, ShortValuesHaveNoTrailingZeros) {
    EXPECT_EQ(FloatToStr(0.5L), "0.5");
    EXPECT_EQ(FloatToStr(0.0L), "0");
    EXPECT_EQ(FloatToStr(-0.0L), "0");
    EXPECT_EQ(FloatToStr(1.0L), "1");
    EXPECT_EQ(FloatToStr(-2.25L), "-2.25");
    EXPECT_EQ(FloatToStr(1200.0L), "1200");
    EXPECT_EQ(FloatToStr(1e-6L), "1E-6");
    EXPECT_EQ(FloatToStr(-1.5e-7L), "-1.5E-7");
}

TEST(FloatToStr, NotationChangesAtTheRangeEnds) {
    EXPECT_EQ(FloatToStr(1e-4L), "0.0001");
    EXPECT_EQ(FloatToStr(1e-5L), "1E-5");
    EXPECT_EQ(FloatToStr(999999999999999.0L), "999999999999999");
    EXPECT_EQ(FloatToStr(1e15L), "1E15");
    EXPECT_EQ(FloatToStr(1.5e20L), "1.5E20");
    // Rounding to 15 digits can carry into the next power of ten.
    EXPECT_EQ(FloatToStr(0.00009999999999999999L), "0.0001");
    EXPECT_EQ(FloatToStr(999999999999999.9L), "1E15");
}

TEST(FloatToStr, RoundsToFifteenSignificantDigits) {
    EXPECT_EQ(FloatToStr(0.123456789012345678L), "0.123456789012346");
    EXPECT_EQ(FloatToStr(123456789.0123456789L), "123456789.012346");
    EXPECT_EQ(FloatToStr(2.0L / 3.0L), "0.666666666666667");
}

TEST(FloatToStr, NonFiniteValuesHaveNames) {
    EXPECT_EQ(FloatToStr(std::numeric_limits<long double>::quiet_NaN()), "NAN");
    EXPECT_EQ(FloatToStr(std::numeric_limits<long double>::infinity()), "INF");
    EXPECT_EQ(FloatToStr(-std::numeric_limits<long double>::infinity()), "-INF");
}

// The C library under a locale whose decimal separator is a comma, as Qt
// selects it at start-up for a German user. The locale is compiled from
// Debian's sources into a directory of its own, so the system is untouched.
class CommaDecimalLocale : public ::testing::Test {
protected:
    void SetUp() override {
        const QString localedef = QStandardPaths::findExecutable(QStringLiteral("localedef"));
        if (localedef.isEmpty()) GTEST_SKIP() << "localedef is not installed";
        ASSERT_TRUE(m_dir.isValid());
        // localedef may end with 1 for mere warnings; whether the locale was
        // made shows when it is selected.
        QProcess::execute(localedef, {"-i", "de_DE", "-f", "UTF-8", m_dir.filePath("de_DE.UTF-8")});
        const char* previous = std::getenv("LOCPATH");
        if (previous) m_previousLocPath = previous;
        m_hadLocPath = previous != nullptr;
        setenv("LOCPATH", QFile::encodeName(m_dir.path()).constData(), 1);
        m_previousLocale = std::setlocale(LC_ALL, nullptr);
        ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "the locale was not made";
        ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    }
    void TearDown() override {
        if (!m_previousLocale.empty()) std::setlocale(LC_ALL, m_previousLocale.c_str());
        if (m_hadLocPath)
            setenv("LOCPATH", m_previousLocPath.c_str(), 1);
        else
            unsetenv("LOCPATH");
    }

private:
    QTemporaryDir m_dir;
    std::string m_previousLocale, m_previousLocPath;
    bool m_hadLocPath = false;
};

TEST_F(CommaDecimalLocale, NumbersAreWrittenAndReadAsEverywhere) {
    EXPECT_EQ(FloatToStr(0.01f), "0.00999999977648258");
    EXPECT_EQ(FloatToStr(0.523788630962372L), "0.523788630962372");
    EXPECT_EQ(FloatToStr(0.0001f), "9.99999974737875E-5");
    EXPECT_EQ(FloatToStr(-2.25L), "-2.25");
    EXPECT_EQ(FloatToStr(1200.0L), "1200");
    EXPECT_EQ(FloatToStr(123456789.0123456789L), "123456789.012346");
    EXPECT_EQ(FloatToStr(999999999999999.9L), "1E15");
    EXPECT_EQ(FloatToStr(-1.5e-7L), "-1.5E-7");
    EXPECT_EQ(FloatToStr(1.5e20L), "1.5E20");
    EXPECT_EQ(IntToStr(-1234567), "-1234567");
    EXPECT_EQ(StrToInt("-1234567"), -1234567);
    EXPECT_THROW(StrToInt("1,5"), EConvertError);
}

TEST(IntegerText, RoundTripsTheWholeRange) {
    EXPECT_EQ(IntToStr(-5), "-5");
    EXPECT_EQ(IntToStr(INT_MIN), "-2147483648");
    EXPECT_EQ(StrToInt("2147483647"), INT_MAX);
    EXPECT_EQ(StrToInt("-2147483648"), INT_MIN);
    EXPECT_EQ(StrToInt("+5"), 5);
    EXPECT_EQ(StrToInt("  42"), 42);
}

TEST(IntegerText, RejectsWhatIsNoInteger) {
    for (const char* text :
         {"", "-", "abc", "12a", "1.5", "4 ", "2147483648", "-2147483649", "99999999999999999999"})
        EXPECT_THROW(StrToInt(QString::fromLatin1(text)), EConvertError) << text;
    try {
        StrToInt("abc");
        FAIL() << "no exception";
    } catch (const EConvertError& error) {
        EXPECT_EQ(error.Message(), "'abc' is not a valid integer value");
    }
}

TEST(SubString, CountsFromOneAndStaysInsideTheText) {
    EXPECT_EQ(SubString("bit7", 4, 2), "7");
    EXPECT_EQ(SubString("bit23", 4, 2), "23");
    EXPECT_EQ(SubString("bit7", 1, 3), "bit");
    EXPECT_EQ(SubString("bit7", 5, 1), "");
    EXPECT_EQ(SubString("bit7", 0, 2), "");
    EXPECT_EQ(SubString("bit7", 2, 0), "");
    EXPECT_EQ(SubString("bit7", 2, -1), "");
    EXPECT_EQ(SubString("", 1, 1), "");
}

TEST(Fonts, Big5NameDecodesToTheKaiFace) {
    TFont font;
    font.SetName("\xBC\xD0\xB7\xA2\xC5\xE9");
    EXPECT_EQ(font.Name(), kaiFace);
    EXPECT_TRUE(QFontInfo(font.to_qfont()).family().startsWith("AR PL UKai"))
        << QFontInfo(font.to_qfont()).family().toStdString();
}

TEST(Fonts, MsSansSerifResolvesToAnInstalledSansFace) {
    const QString family = QFontInfo(QFont("MS Sans Serif")).family();
    EXPECT_TRUE(QStringList({"DejaVu Sans", "Liberation Sans", "Nimbus Sans"}).contains(family))
        << family.toStdString();
}

TEST(Fonts, HeightChoosesTheCellOrTheCharacterSize) {
    TFont font;
    font.SetName(kaiFace);
    font.SetHeight(129);
    const int cell = QFontMetrics(font.to_qfont()).height();
    EXPECT_LE(cell, 129);
    EXPECT_GE(cell, 126);

    font.SetHeight(-20);  // and a changed height is not served from the old one
    EXPECT_EQ(font.to_qfont().pixelSize(), 20);
}

TEST(Controls, ColourReadsBackAndIsPainted) {
    TLabel label;
    label.resize(20, 10);
    label.SetColor(clLime);
    EXPECT_EQ(label.Color(), clLime);
    EXPECT_EQ(label.grab().toImage().pixelColor(5, 5), to_qcolor(clLime));
}

// The designed window at 194, 114, 892 x 640 on screens of common sizes.
TEST(Window, StaysWhereItFitsAndMovesTheLeastOntoTheScreen) {
    const QRect designed(194, 114, 892, 640);
    EXPECT_EQ(FitOnScreen(designed, {0, 0, 1280, 800}), designed);
    EXPECT_EQ(FitOnScreen(designed, {0, 0, 1086, 754}), designed);  // exactly fits
    EXPECT_EQ(FitOnScreen(designed, {0, 0, 1024, 768}), QRect(132, 114, 892, 640));
    // 1366 x 768 with a 40-pixel panel at the bottom, and one on the left
    EXPECT_EQ(FitOnScreen(designed, {0, 0, 1366, 728}), QRect(194, 88, 892, 640));
    EXPECT_EQ(FitOnScreen(designed, {300, 0, 1066, 768}), QRect(300, 114, 892, 640));
    // larger than the area: from the area's top-left, as large as the area
    EXPECT_EQ(FitOnScreen(designed, {10, 20, 800, 600}), QRect(10, 20, 800, 600));
    EXPECT_EQ(FitOnScreen(designed, {0, 0, 800, 1000}), QRect(0, 114, 800, 640));
    // In logical pixels: 1366 x 768 less a 40-pixel panel at scale 2 and
    // 1.5, and 2732 x 1536 at scale 2, where the designed window fits
    EXPECT_EQ(FitOnScreen(designed, {0, 0, 683, 364}), QRect(0, 0, 683, 364));
    EXPECT_EQ(FitOnScreen(designed, {0, 0, 911, 485}), QRect(19, 0, 892, 485));
    EXPECT_EQ(FitOnScreen(designed, {0, 0, 1366, 768}), designed);
}

// The network view beside the designed form: right of it where there is
// room, else left, else where it covers the form least.
TEST(Window, SecondWindowGoesBesideTheFormCoveringItLeast) {
    const QRect form(194, 114, 892, 640);
    const QSize view(900, 660);
    EXPECT_EQ(PlaceBeside(form, view, {0, 0, 2560, 1440}), QRect(QPoint(1086, 114), view));
    EXPECT_EQ(PlaceBeside(QRect(1000, 100, 892, 640), view, {0, 0, 1920, 1080}),
              QRect(QPoint(100, 100), view));
    EXPECT_EQ(PlaceBeside(QRect(194, 20, 892, 400), view, {0, 0, 1366, 1200}), QRect(QPoint(194, 420), view));
    // 1366 x 768: no side has room; the right covers the least.
    EXPECT_EQ(PlaceBeside(form, view, {0, 0, 1366, 768}), QRect(QPoint(466, 108), view));
}

TEST(Controls, ParentShowsTheControlAtItsPosition) {
    TGroupBox group;
    TLabel label;
    label.SetParent(&group);
    label.SetLeft(8);
    label.SetTop(16);
    EXPECT_TRUE(label.isVisibleTo(&group));
    EXPECT_EQ(label.mapTo(&group, QPoint(0, 0)), QPoint(8, 16));
    label.SetParent(nullptr);
    EXPECT_FALSE(label.isVisible());  // not turned into a window of its own
}

TEST(Controls, LabelClickNamesTheLabel) {
    TLabel label;
    label.resize(40, 20);
    label.show();
    QList<QObject*> senders;
    QObject::connect(&label, &TLabel::OnClick, [&](QObject* sender) { senders << sender; });

    QTest::mouseClick(&label, Qt::LeftButton);
    ASSERT_EQ(senders.size(), 1);
    EXPECT_EQ(senders[0], &label);

    // Released outside: the user changed their mind.
    QTest::mousePress(&label, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(&label, Qt::LeftButton, {}, QPoint(100, 5));
    QTest::mouseClick(&label, Qt::RightButton);
    EXPECT_EQ(senders.size(), 1);
}

TEST(Controls, ButtonClickNamesTheButton) {
    TButton button;
    button.show();
    QObject* sender = nullptr;
    QObject::connect(&button, &TButton::OnClick, [&](QObject* s) { sender = s; });
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(sender, &button);
}

TEST(Controls, ComboBoxSelectsOnlyWhenAsked) {
    TComboBox combo;
    int changes = 0;
    QObject::connect(&combo, &TComboBox::OnChange, [&](QObject* sender) {
        EXPECT_EQ(sender, &combo);
        ++changes;
    });
    EXPECT_EQ(combo.ItemIndex(), -1);
    combo.Items().Add("0.1");
    combo.Items().Add("0.5");
    EXPECT_EQ(combo.ItemIndex(), -1);
    combo.SetItemIndex(0);
    EXPECT_EQ(changes, 0);

    QTest::keyClick(&combo, Qt::Key_Down);  // the user picks the next item
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(combo.ItemIndex(), 1);

    combo.Items().Clear();
    EXPECT_EQ(combo.ItemIndex(), -1);
    EXPECT_EQ(changes, 1);
}

TEST(Controls, ListBoxAppendsAndRefusesMissingLines) {
    TListBox list;
    list.Items().Add("first");
    list.Items().Add("second");
    ASSERT_EQ(list.Items().Count(), 2);
    EXPECT_EQ(list.Items().Strings(1), "second");
    EXPECT_THROW(list.Items().Strings(2), Exception);
    EXPECT_THROW(list.Items().Strings(-1), Exception);
    list.Items().Clear();
    EXPECT_EQ(list.Items().Count(), 0);
}

class Canvas : public ::testing::Test {
protected:
    void SetUp() override {
        image.resize(105, 129);
        image.Canvas().Font().SetName(kaiFace);
        image.Canvas().Font().SetHeight(129);
    }
    QRect cellOf(const QString& text) {
        return {0, 0, image.Canvas().TextWidth(text), image.Canvas().TextHeight(text)};
    }

    TImage image;
};

TEST_F(Canvas, TextOutDrawsInsideItsCellOnly) {
    image.Canvas().TextOut(0, 0, "8");
    const QImage& picture = image.Canvas().Picture();
    ASSERT_EQ(picture.size(), QSize(105, 129));
    const QRect cell = cellOf("8");
    ASSERT_TRUE(picture.rect().contains(cell));
    EXPECT_GT(darkPixels(picture, cell), 0);
    EXPECT_EQ(darkPixels(picture, picture.rect()), darkPixels(picture, cell));
    EXPECT_GT(darkPixels(image.grab().toImage(), cell), 0);  // and the control shows it
}

TEST_F(Canvas, BoldKaiIsDrawnBoldAtFullHeight) {
    // The Kai face has no bold of its own; it must be made bolder at any size.
    image.Canvas().TextOut(0, 0, "8");
    const int regular = darkPixels(image.Canvas().Picture(), cellOf("8"));
    TImage bold;
    bold.resize(105, 129);
    bold.Canvas().Font().SetName(kaiFace);
    bold.Canvas().Font().SetHeight(129);
    bold.Canvas().Font().SetStyle(TFontStyles() << fsBold);
    bold.Canvas().TextOut(0, 0, "8");
    EXPECT_GT(darkPixels(bold.Canvas().Picture(), bold.rect()), regular * 3 / 2);
}

TEST_F(Canvas, BrushCoversOnlyTheNewCell) {
    image.Canvas().Font().SetName("DejaVu Sans");
    image.Canvas().Font().SetHeight(30);
    image.Canvas().TextOut(0, 0, "WWWW");
    const QRect space = cellOf(" ");
    const QRect beyond(space.right() + 1, 0, cellOf("WWWW").width() - space.width(), space.height());
    ASSERT_GT(darkPixels(image.Canvas().Picture(), space), 0);

    image.Canvas().Brush().SetStyle(bsClear);
    image.Canvas().TextOut(0, 0, " ");
    EXPECT_GT(darkPixels(image.Canvas().Picture(), space), 0);

    image.Canvas().Brush().SetStyle(bsSolid);
    image.Canvas().Brush().SetColor(clLime);
    image.Canvas().TextOut(0, 0, " ");
    const QImage& picture = image.Canvas().Picture();
    for (const QPoint corner : {space.topLeft(), space.bottomRight()})
        EXPECT_EQ(picture.pixelColor(corner), to_qcolor(clLime));
    EXPECT_EQ(darkPixels(picture, space), 0);
    EXPECT_GT(darkPixels(picture, beyond), 0);
}

TEST(Messages, ReplacementReceivesTheTextAndCanBeUndone) {
    {
        CollectedMessages messages;
        ShowMessage("saved");
        EXPECT_EQ(messages.texts(), QStringList{"saved"});
    }
    // With the real box back, ShowMessage blocks until the box is closed.
    QString title, text;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            title = box->windowTitle();
            text = box->text();
            box->button(QMessageBox::Ok)->click();
        }
    });
    closer.start(10);
    ShowMessage("done");
    EXPECT_EQ(text, "done");
    EXPECT_EQ(title, QApplication::applicationName());
}

namespace {

struct SelfAwareForm;
SelfAwareForm* selfAwareForm = nullptr;

// Like a form whose constructor reaches itself through its global pointer.
struct SelfAwareForm : QWidget {
    explicit SelfAwareForm(QObject*) { pointerWasSet = selfAwareForm == this; }
    bool pointerWasSet = false;
};

struct BrokenForm;
BrokenForm* brokenForm = nullptr;
bool brokenFormPointerWasSet = false;

struct BrokenForm : QWidget {
    explicit BrokenForm(QObject*) {
        brokenFormPointerWasSet = brokenForm == this;
        throw Exception("no data");
    }
};

}  // namespace

TEST(Application, CreateFormSetsThePointerBeforeTheConstructorRuns) {
    application->CreateForm(selfAwareForm);
    ASSERT_NE(selfAwareForm, nullptr);
    EXPECT_TRUE(selfAwareForm->pointerWasSet);
    EXPECT_NE(application->MainForm(), nullptr);

    EXPECT_THROW(application->CreateForm(brokenForm), Exception);
    EXPECT_TRUE(brokenFormPointerWasSet);
    EXPECT_EQ(brokenForm, nullptr);
}

TEST(Application, RunEndsWhenTheMainFormCloses) {
    SelfAwareForm* form = nullptr;
    application->CreateForm(form);
    QWidget* mainForm = application->MainForm();
    ASSERT_NE(mainForm, nullptr);
    QWidget other;  // another open window does not keep the program going
    other.show();
    QTimer::singleShot(0, mainForm, &QWidget::close);
    application->Run();
    EXPECT_FALSE(mainForm->isVisible());
}

// Every control raises its events through handle_event, the one place that
// catches what a handler throws: the message is shown, nothing reaches Qt's
// code or the caller, and the control goes on working.
TEST(Application, EveryControlShowsWhatItsHandlerThrowsAndGoesOn) {
    CollectedMessages messages;
    TButton button;
    TLabel label;
    TComboBox combo;
    combo.Items().Add("0");
    combo.Items().Add("1");
    combo.Items().Add("2");
    combo.SetItemIndex(0);
    for (QWidget* control : std::initializer_list<QWidget*>{&button, &label, &combo}) {
        control->resize(60, 30);
        control->show();
    }
    int raised = 0;
    const auto broken = [&raised] {
        ++raised;
        throw EConvertError("'x' is not a valid integer value");
    };
    QObject::connect(&button, &TButton::OnClick, broken);
    QObject::connect(&label, &TLabel::OnClick, broken);
    QObject::connect(&combo, &TComboBox::OnChange, [&raised] {
        ++raised;
        throw 42;  // not a std::exception: shown with an empty message
    });
    for (int round = 0; round < 2; ++round) {
        EXPECT_NO_THROW(QTest::mouseClick(&button, Qt::LeftButton));
        EXPECT_NO_THROW(QTest::mouseClick(&label, Qt::LeftButton));
        EXPECT_NO_THROW(QTest::keyClick(&combo, Qt::Key_Down));
    }
    EXPECT_EQ(raised, 6);
    const QString text = "'x' is not a valid integer value";
    EXPECT_EQ(messages.texts(), QStringList({text, text, "", text, text, ""}));
}

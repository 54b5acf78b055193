// The program entry: a normal close and a failed start-up both end with 0.
#include <gtest/gtest.h>

#include <QStyle>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <new>

#include "entry.h"
#include "network.h"
#include "unit1.h"

namespace {

int argc = 1;
char name[] = "app_tests";
char* argv[] = {name, nullptr};

struct failing_form : QWidget {
    template <class E>
    explicit failing_form(E error) {
        throw error;
    }
};

struct standard_failure : failing_form {
    explicit standard_failure(QWidget* = nullptr) : failing_form(std::runtime_error("no memory left")) {}
};
struct foreign_failure : failing_form {
    explicit foreign_failure(QWidget* = nullptr) : failing_form(42) {}
};

// Runs the entry with form class F and returns its exit code and what it showed.
template <class F>
std::pair<int, std::vector<QString>> run_entry(F*& form, std::function<void()> once_running = {}) {
    std::vector<QString> shown;
    const auto previous = SetMessageFunction([&](const QString& text) { shown.push_back(text); });
    TApplication Application(argc, argv);
    if (once_running) QTimer::singleShot(0, once_running);
    const int code = run_application(Application, form);
    int windows_left = 0;
    for (const QWidget* w : QApplication::topLevelWidgets()) windows_left += w->isVisible();
    SetMessageFunction(previous);
    EXPECT_EQ(windows_left, 0);
    return {code, shown};
}

}  // namespace

TEST(Entry, ClosingTheWindowEndsWithZero) {
    the_network = network{};
    bool shown = false;
    const auto [code, messages] = run_entry(Form1, [&] {
        shown = Form1 && Form1->isVisible();
        Form1->close();
    });
    EXPECT_TRUE(shown);
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(messages.empty());
}

// The desktop matches the window to its desktop entry by the desktop file
// name (on Wayland the app id) and shows the window's own icon.
TEST(Entry, WindowCarriesTheDesktopIdAndTheIcon) {
    the_network = network{};
    QString desktop_file;
    QList<QSize> sizes;
    run_entry(Form1, [&] {
        desktop_file = QGuiApplication::desktopFileName();
        sizes = Form1->windowIcon().availableSizes();
        Form1->close();
    });
    EXPECT_EQ(desktop_file.toStdString(), DIGITS_APP_ID);
    EXPECT_TRUE(sizes.contains(QSize(48, 48)));
    EXPECT_TRUE(sizes.contains(QSize(256, 256)));
}

TEST(Entry, StandardExceptionAtStartUpIsShownWithItsMessage) {
    standard_failure* form = nullptr;
    const auto [code, messages] = run_entry(form);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(messages, std::vector<QString>{"no memory left"});
    EXPECT_EQ(form, nullptr);
}

TEST(Entry, ForeignExceptionAtStartUpIsShownWithAnEmptyMessage) {
    foreign_failure* form = nullptr;
    const auto [code, messages] = run_entry(form);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(messages, std::vector<QString>{""});
}

// Qt's own options would mirror the window, change its style or its
// platform; the application object hands Qt the program's name alone.
TEST(Entry, CommandLineDoesNotReachQt) {
    QString plain_style;
    {
        TApplication plain(argc, argv);
        plain_style = QApplication::style()->name();
    }
    char reverse[] = "-reverse", style[] = "-style", windows[] = "windows", title[] = "-qwindowtitle",
         other[] = "Other", file[] = "digits.txt";
    char* with_options[] = {name, reverse, style, windows, title, other, file, nullptr};
    int count = 7;
    TApplication Application(count, with_options);
    EXPECT_EQ(QCoreApplication::arguments().join(" ").toStdString(), "app_tests");
    EXPECT_EQ(QGuiApplication::layoutDirection(), Qt::LeftToRight);
    EXPECT_EQ(QApplication::style()->name().toStdString(), plain_style.toStdString());
}

// Allocation failures on demand: while `fail_when` says so, operator new
// throws std::bad_alloc, as it does when memory runs out.
namespace {
std::function<bool()> fail_when;
bool failing = false;  // no injected failure while deciding
}  // namespace

void* operator new(std::size_t size) {
    if (fail_when && !failing) {
        failing = true;
        const bool fail = fail_when();
        failing = false;
        if (fail) {
            fail_when = nullptr;
            throw std::bad_alloc();
        }
    }
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

TEST(Entry, AllocationFailureWhileTheNetworkIsBuiltIsShownAndEndsWithZero) {
    the_network = network{};
    fail_when = [] { return the_network.layers[1].size() == 5; };
    const auto [code, messages] = run_entry(Form1);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(messages, std::vector<QString>{"std::bad_alloc"});
    EXPECT_EQ(Form1, nullptr);
    fail_when = nullptr;
}

TEST(Entry, ExceptionInAClickHandlerIsShownAndTheProgramGoesOn) {
    the_network = network{};
    report_index = 0;
    int train_number_at_failure = -1, first_report_lines = -1;
    bool test_works_after = false;
    const auto [code, messages] = run_entry(Form1, [&] {
        // Memory runs out part way through a training run, at the first
        // allocation (a chart point) after epoch 3 has begun.
        fail_when = [] { return the_network.train_number >= 3; };
        QTest::mouseClick(Form1->Button1, Qt::LeftButton);
        fail_when = nullptr;
        train_number_at_failure = the_network.train_number;
        first_report_lines = result_list[0]->Items().Count();
        QTest::mouseClick(Form1->Button2, Qt::LeftButton);
        test_works_after = result_list[3]->Items().Count() == 10;
        Form1->close();
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(messages, std::vector<QString>{"std::bad_alloc"});  // and no "Train Number"
    EXPECT_GE(train_number_at_failure, 3);
    EXPECT_LT(train_number_at_failure, 100);
    EXPECT_EQ(first_report_lines, 10);  // epoch 0's report was written before
    EXPECT_TRUE(test_works_after);
}

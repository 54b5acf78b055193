// A fresh window for each test, as far as the window is concerned: a new
// network, no reports and no runs yet, messages collected instead of shown,
// and the form built and shown the way the application does it.
#pragma once

#include <gtest/gtest.h>

#include <QTest>
#include <vector>

#include "unit1.h"

class FormFixture : public ::testing::Test {
protected:
    void SetUp() override {
        the_network = network{};
        report_index = 0;
        training_runs = 0;
        previous_ = SetMessageFunction([this](const QString& text) { messages.push_back(text); });
        static_cast<TApplication*>(qApp)->CreateForm(Form1);
        Form1->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Form1));
    }
    void TearDown() override {
        delete Form1;
        Form1 = nullptr;
        SetMessageFunction(previous_);
    }

    static bool black(int m) { return bit_label[m]->Color() == clBlack; }
    static void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center()); }
    static void pick(int digit) {
        pattern_combo->setCurrentIndex(digit);
        emit pattern_combo->activated(digit);
    }

    std::vector<QString> messages;

private:
    message_function previous_;
};

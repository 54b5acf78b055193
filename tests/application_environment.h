// Widgets need an application object: one for the whole test binary, made
// before the first test and destroyed after the last.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>

template <class Application>
class application_environment : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);  // unless a display is asked for
        app_ = new Application(argc_, argv_);
    }
    void TearDown() override { delete app_; }

private:
    inline static char name_[] = "tests";
    inline static char* argv_[] = {name_, nullptr};
    inline static int argc_ = 1;
    Application* app_ = nullptr;
};

// For a namespace-scope initialiser: [[maybe_unused]] const bool x = add_...<App>();
// Once per binary, however many of its files ask: a second application
// object would be destroyed after the first and crash the binary's exit.
template <class Application>
bool add_application_environment() {
    static const bool added =
        (::testing::AddGlobalTestEnvironment(new application_environment<Application>), true);
    return added;
}

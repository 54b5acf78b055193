// The program entry: ready the application, create the main form, run the
// event loop. Whatever escapes is shown in a message box; the exit code is
// always 0.
#pragma once

#include "platform.h"

template <class Form>
int run_application(TApplication& Application, Form*& main_form) {
    try {
        Application.Initialize();
        Application.CreateForm(main_form);
        Application.Run();
    } catch (const std::exception& e) {
        Application.ShowException(e);
    } catch (...) {
        Application.ShowException(Exception(""));
    }
    return 0;
}

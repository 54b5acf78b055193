// The program entry: ready the application, name it and its icon to the
// desktop, create the main form, run the event loop. Whatever escapes is
// shown in a message box; the exit code is always 0.
#pragma once

#include "desktop_identity.h"
#include "platform.h"

template <class Form>
int run_application(TApplication& Application, Form*& main_form) {
    try {
        Application.Initialize();
        present_to_desktop();
        Application.CreateForm(main_form);
        Application.Run();
    } catch (const std::exception& e) {
        Application.ShowException(e);
    } catch (...) {
        Application.ShowException(Exception(""));
    }
    return 0;
}

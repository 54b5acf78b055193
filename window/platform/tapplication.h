// The application object: owns the forms, runs the event loop while the main
// form is open and shows the exceptions the entry hands it.
#pragma once

#include <QApplication>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <exception>
#include <new>
#include <type_traits>
#include <vector>

class TApplication : public QApplication {
    Q_OBJECT
public:
    // Qt is handed the program's name alone: its own options on the command
    // line (-reverse, -style, -platform, ...) would change the window, and
    // the program takes nothing from there. Where no display can be opened,
    // says so on one line of standard error and ends the process with exit
    // code 0; the same once the display goes away under a running program.
    // Before Qt matches any font: maps the faces the form names to faces
    // installed here, and lets Qt embolden large text in faces without a bold.
    // SIGINT, SIGTERM and SIGHUP close the main form as a click on its close
    // button would, after one line on standard error that names the signal.
    TApplication(int argc, char** argv);
    ~TApplication() override;  // destroys the forms, the newest first

    void Initialize() {}  // everything is ready once constructed

    // Creates a form and keeps it until the application ends; the first one
    // becomes the main form. `ref` holds the new form before its constructor
    // body runs (code there may reach the form through the same global
    // pointer) and is reset to nullptr when that constructor throws.
    // Form's constructor takes its owner as a pointer; it gets nullptr, since
    // a window has no widget to be the child of. Form must not bring its own
    // operator new: the form is freed with a plain delete.
    template <class Form>
    void CreateForm(Form*& ref);
    QWidget* MainForm() const { return m_mainForm; }

    // Shows the main form and processes events until it is closed; returns at
    // once when no form was created.
    void Run();

    void ShowException(const std::exception& error);
    void ShowException(const QString& message);

    bool notify(QObject* receiver, QEvent* event) override;

private:
    static int& beforeQt(int argc, char** argv);
    static void substituteFaces();
    void adopt(QWidget* form);

    std::vector<QPointer<QWidget>> m_forms;
    QPointer<QWidget> m_mainForm;
    bool m_ending = false;  // a signal has asked the program to end
};

template <class Form>
void TApplication::CreateForm(Form*& ref) {
    static_assert(std::is_base_of_v<QWidget, Form>, "a form is a widget");
    static_assert(alignof(Form) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__, "a form needs no special alignment");
    void* memory = ::operator new(sizeof(Form));
    ref = static_cast<Form*>(memory);
    try {
        ::new (memory) Form(nullptr);
    } catch (...) {
        ref = nullptr;
        ::operator delete(memory);
        throw;
    }
    adopt(ref);
}

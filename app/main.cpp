#include "entry.h"
#include "unit1.h"

int main(int argc, char** argv) {
    TApplication Application(argc, argv);
    return run_application(Application, Form1);
}

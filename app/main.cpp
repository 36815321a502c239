// Zelo: the program's entry. Makes the application, starts it with the file named on
// the command line (if any), runs the message loop and writes the settings at exit.
#include <QApplication>
#include <string>

#include "platform/app.h"
#include "shell/mainapp.h"

int main(int argc, char** argv) {
    std::unique_ptr<QApplication> qt = platform_create_application(argc, argv);
    const std::string file = argc > 1 ? argv[1] : "";
    CMainApp app;
    if (!app.InitInstance(file)) return 1;
    const int code = qt->exec();
    const int exit_code = app.ExitInstance();
    return code != 0 ? code : exit_code;
}

// The application object and the numeric locale.
#include "platform/app.h"

#include <QApplication>
#include <QThread>
#include <clocale>
#include <csignal>

#include "platform/msgqueue.h"

std::unique_ptr<QApplication> platform_create_application(int& argc, char** argv) {
    auto app = std::make_unique<QApplication>(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    // A write past the file size limit (ulimit -f) fails with EFBIG, which every writer
    // reports and cleans up after, instead of ending the program with its open drawings.
    std::signal(SIGXFSZ, SIG_IGN);
    msg_queue_attach();
    return app;
}

bool platform_is_ui_thread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

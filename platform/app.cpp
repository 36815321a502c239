// The application object and the numeric locale.
#include "platform/app.h"

#include <QApplication>
#include <QThread>
#include <clocale>

#include "platform/msgqueue.h"

std::unique_ptr<QApplication> platform_create_application(int& argc, char** argv) {
    auto app = std::make_unique<QApplication>(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    msg_queue_attach();
    return app;
}

bool platform_is_ui_thread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

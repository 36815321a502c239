// A stand-in start of the program for the single-instance tests: run with a socket
// path and an optional file. The first start prints "listening", waits for one open
// request, prints "open <path>" and exits 0; a later start hands its file over and
// exits 0 at once ("handed"); a failure exits 1.
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

#include "shell/single_instance.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) return 2;
    SingleInstance instance(QString::fromLocal8Bit(argv[1]));
    QString file = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    switch (instance.start(file)) {
        case SingleInstance::Start::kHandedOver:
            std::printf("handed\n");
            return 0;
        case SingleInstance::Start::kFailed:
            std::printf("failed\n");
            return 1;
        case SingleInstance::Start::kPrimary:
            break;
    }
    instance.on_open = [](const QString& path) {
        std::printf("open %s\n", qPrintable(path));
        std::fflush(stdout);
        QCoreApplication::quit();
    };
    std::printf("listening\n");
    std::fflush(stdout);
    QTimer::singleShot(15000, [] { QCoreApplication::exit(3); });
    return QCoreApplication::exec();
}

// Single-instance open requests: a second start hands its file over, anything but
// [open("...")] is refused, a stale socket is recovered.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <cstring>
#include <QLocalSocket>
#include <atomic>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

#include "shell/single_instance.h"
#include "tests/platform/qt_test_env.h"

namespace {

QString socket_path(const char* name) {
    return QString::fromStdString(QtTestEnvironment::temp_dir()) + "/" + name + ".sock";
}

// Runs `client` on its own thread while this thread serves events; returns when it
// finished (or after 10 s).
template <class F>
void with_client(F client) {
    std::atomic<bool> done{false};
    std::thread t([&] {
        client();
        done = true;
    });
    QElapsedTimer timer;
    timer.start();
    while (!done && timer.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    t.join();
    QCoreApplication::processEvents();
}

// Sends raw bytes as a foreign client would; returns the server's answer line.
QByteArray send_raw(const QString& path, const QByteArray& bytes) {
    QLocalSocket s;
    s.connectToServer(path);
    if (!s.waitForConnected(2000)) return "no connection";
    s.write(bytes);
    s.waitForBytesWritten(2000);
    QByteArray reply;
    while (s.waitForReadyRead(1500)) reply += s.readAll();
    return reply;
}

}  // namespace

TEST(SingleInstance, SecondStartHandsItsFileToTheFirst) {
    QString path = socket_path("hand");
    SingleInstance first(path);
    std::vector<QString> opened;
    first.on_open = [&](const QString& p) { opened.push_back(p); };
    ASSERT_EQ(first.start(QString()), SingleInstance::Start::kPrimary);

    SingleInstance::Start second = SingleInstance::Start::kFailed, third = SingleInstance::Start::kFailed;
    with_client([&] {
        SingleInstance s(path);
        second = s.start("/tmp/some dir/plan.qvm");
        SingleInstance t(path);
        third = t.start(QString());
    });
    EXPECT_EQ(second, SingleInstance::Start::kHandedOver);
    EXPECT_EQ(third, SingleInstance::Start::kHandedOver);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], "/tmp/some dir/plan.qvm");
    EXPECT_EQ(opened[1], "");  // a start without a file only brings the first forward
}

TEST(SingleInstance, AnythingButAnOpenRequestIsRefused) {
    QString path = socket_path("refuse");
    SingleInstance server(path);
    int opened = 0;
    server.on_open = [&](const QString&) { ++opened; };
    ASSERT_EQ(server.start(QString()), SingleInstance::Start::kPrimary);

    std::vector<QByteArray> replies;
    with_client([&] {
        for (const QByteArray& bad :
             {QByteArray("[print(\"/a.qvm\")]\n"), QByteArray("[open(\"relative.qvm\")]\n"),
              QByteArray("[open(\"/a.qvm\")]x\n"), QByteArray(5000, 'x'),
              QByteArray("[open(\"/") + QByteArray(5000, 'a') + "\")]\n"})
            replies.push_back(send_raw(path, bad));
        replies.push_back(send_raw(path, "[open(\"/good.qvm\")]\n"));
        // The longest path that may be sent still goes through.
        replies.push_back(send_raw(path, "[open(\"/" + QByteArray(4095, 'b') + "\")]\n"));
    });
    ASSERT_EQ(replies.size(), 7u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(replies[size_t(i)], "") << i;
    EXPECT_EQ(replies[5], "ok\n");
    EXPECT_EQ(replies[6], "ok\n");
    EXPECT_EQ(opened, 2);
}

TEST(SingleInstance, StaleSocketIsRecovered) {
    QString path = socket_path("stale");
    // A socket file nobody listens on, as a crashed program leaves it.
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    QByteArray p = path.toLocal8Bit();
    std::memcpy(addr.sun_path, p.constData(), size_t(p.size()));
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    close(fd);
    ASSERT_TRUE(QFile::exists(path));

    SingleInstance server(path);
    EXPECT_EQ(server.start("/x.qvm"), SingleInstance::Start::kPrimary);
    QString got;
    server.on_open = [&](const QString& f) { got = f; };
    with_client([&] { EXPECT_EQ(send_raw(path, "[open(\"/y.qvm\")]\n"), "ok\n"); });
    EXPECT_EQ(got, "/y.qvm");
}

TEST(SingleInstance, DefaultSocketIsPrivate) {
    QString path = SingleInstance::default_socket_path();
    ASSERT_FALSE(path.isEmpty());
    EXPECT_TRUE(path.endsWith("/zelo.sock"));
}

#ifdef ZELO_INSTANCE_PROBE
#include <QProcess>

// Two real processes: the second start hands its file to the first and exits 0.
TEST(SingleInstance, SecondProcessHandsOverAndExitsZero) {
    QString path = socket_path("process");
    QProcess first;
    first.start(ZELO_INSTANCE_PROBE, {path});
    ASSERT_TRUE(first.waitForReadyRead(10000));
    EXPECT_EQ(first.readLine().trimmed(), "listening");

    QProcess second;
    second.setWorkingDirectory(QString::fromStdString(QtTestEnvironment::temp_dir()));
    second.start(ZELO_INSTANCE_PROBE, {path, "relative name.qvm"});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(second.readAllStandardOutput().trimmed(), "handed");

    ASSERT_TRUE(first.waitForFinished(10000));
    EXPECT_EQ(first.exitCode(), 0);
    // The file arrives made absolute against the second start's folder.
    EXPECT_EQ(first.readAllStandardOutput().trimmed(),
              "open " + QByteArray::fromStdString(QtTestEnvironment::temp_dir()) + "/relative name.qvm");
}

// A first start killed without cleaning up leaves its socket; the next start takes
// over as the first.
TEST(SingleInstance, StartAfterAKilledFirstListens) {
    QString path = socket_path("killed");
    QProcess first;
    first.start(ZELO_INSTANCE_PROBE, {path});
    ASSERT_TRUE(first.waitForReadyRead(10000));
    first.kill();
    first.waitForFinished(5000);
    ASSERT_TRUE(QFile::exists(path));

    QProcess next;
    next.start(ZELO_INSTANCE_PROBE, {path, "/tmp/a.qvm"});
    ASSERT_TRUE(next.waitForReadyRead(10000));
    EXPECT_EQ(next.readLine().trimmed(), "listening");
    next.kill();
    next.waitForFinished(5000);
}
#endif

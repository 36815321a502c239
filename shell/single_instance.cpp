// Single-instance open requests over a per-user local socket.
#include "shell/single_instance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "shell/core/open_request.h"

namespace {

constexpr int kConnectMs = 1000;
constexpr int kReplyMs = 5000;
constexpr int kPeerIdleMs = 3000;
// A start without a file sends this; it asks only to come forward.
constexpr QByteArrayView kWakeRequest = "[open(\"\")]";

bool peer_same_user(qintptr fd) {
    struct ucred cred {};
    socklen_t len = sizeof cred;
    if (getsockopt(int(fd), SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0) return false;
    return cred.uid == getuid();
}

}  // namespace

QString SingleInstance::default_socket_path() {
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) return runtime + QStringLiteral("/zelo.sock");
    QString dir = QDir::tempPath() + QStringLiteral("/zelo-%1").arg(getuid());
    QByteArray d = QFile::encodeName(dir);
    mkdir(d.constData(), 0700);
    // Only a folder of our own with no access for others is used.
    struct stat st {};
    if (lstat(d.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid() || (st.st_mode & 077))
        return QString();
    return dir + QStringLiteral("/zelo.sock");
}

SingleInstance::SingleInstance(QString socket_path, QObject* parent)
    : QObject(parent), path_(socket_path.isEmpty() ? default_socket_path() : std::move(socket_path)) {}

SingleInstance::~SingleInstance() {
    if (server_) server_->close();
}

SingleInstance::Start SingleInstance::start(const QString& file) {
    if (path_.isEmpty()) return Start::kFailed;
    switch (hand_over(file)) {
        case HandOver::kDone: return Start::kHandedOver;
        case HandOver::kRefused: return Start::kFailed;  // a program listens: never take its socket
        case HandOver::kNoServer: break;
    }
    if (listen()) return Start::kPrimary;
    // Another start may have won the race to listen: try once more to hand over.
    return hand_over(file) == HandOver::kDone ? Start::kHandedOver : Start::kFailed;
}

SingleInstance::HandOver SingleInstance::hand_over(const QString& file) {
    QLocalSocket socket;
    socket.connectToServer(path_);
    if (!socket.waitForConnected(kConnectMs)) return HandOver::kNoServer;
    QByteArray request;
    if (file.isEmpty()) {
        request = kWakeRequest.toByteArray();
    } else {
        std::string text = open_request_format(QFile::encodeName(QFileInfo(file).absoluteFilePath()).toStdString());
        if (text.empty()) return HandOver::kRefused;
        request = QByteArray::fromStdString(text);
    }
    socket.write(request + '\n');
    if (!socket.waitForBytesWritten(kReplyMs)) return HandOver::kRefused;
    // The server answers "ok" once it took the request.
    while (!socket.canReadLine())
        if (!socket.waitForReadyRead(kReplyMs)) return HandOver::kRefused;
    return socket.readLine().trimmed() == "ok" ? HandOver::kDone : HandOver::kRefused;
}

bool SingleInstance::listen() {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(path_)) {
        // The socket file exists but nobody answered hand_over: left by a program
        // that ended without closing it. Remove it and listen again.
        if (server_->serverError() == QAbstractSocket::AddressInUseError) {
            QLocalServer::removeServer(path_);
            if (!server_->listen(path_)) return false;
        } else {
            return false;
        }
    }
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::accept_connections);
    return true;
}

void SingleInstance::accept_connections() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        if (!peer_same_user(socket->socketDescriptor())) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        // Never buffer more than one request and its line end.
        socket->setReadBufferSize(qint64(kOpenRequestMaxText) + 2);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read_request(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // A peer that never completes its request is dropped.
        QPointer<QLocalSocket> guard(socket);
        QTimer::singleShot(kPeerIdleMs, this, [guard] {
            if (guard && guard->property("done").isNull()) guard->abort();
        });
    }
}

void SingleInstance::read_request(QLocalSocket* socket) {
    if (!socket->property("done").isNull()) return;
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() >= qint64(kOpenRequestMaxText) + 2) socket->abort();
        return;
    }
    QByteArray line = socket->readLine(qint64(kOpenRequestMaxText) + 2);
    socket->setProperty("done", true);
    if (line.endsWith('\n')) line.chop(1);
    std::string path;
    bool wake = line == kWakeRequest;
    if (!wake && !open_request_parse(std::string_view(line.constData(), size_t(line.size())), &path)) {
        socket->abort();
        return;
    }
    socket->write("ok\n");
    socket->flush();
    socket->disconnectFromServer();
    if (on_open) on_open(wake ? QString() : QFile::decodeName(QByteArray::fromStdString(path)));
}

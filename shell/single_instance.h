// One running program per user: the first start listens on a local socket in the
// user's own runtime folder; a later start hands the file it was given to the first
// as [open("path")] and exits. Only that request form is taken, at most
// kOpenRequestMaxText bytes, and only from a peer of the same user; anything else
// closes the connection. A socket left behind by a crashed program is recovered.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;
class QLocalSocket;

class SingleInstance : public QObject {
  public:
    enum class Start {
        kPrimary,     // this process listens: go on starting
        kHandedOver,  // the running program took the request: exit 0
        kFailed,      // neither listening nor handing over worked: go on alone
    };
    enum class HandOver { kDone, kNoServer, kRefused };

    // `socket_path` empty: the default, "$XDG_RUNTIME_DIR/zelo.sock" (a private
    // folder under the temporary folder when that is unset).
    explicit SingleInstance(QString socket_path = QString(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // `file` (may be empty; made absolute here) is handed over when another start
    // already listens; with no file a second start only brings the first forward.
    // A socket file nobody answers on is removed and listened on; a program that
    // answers but does not take the request keeps its socket (kFailed).
    Start start(const QString& file);
    const QString& socket_path() const { return path_; }

    // Called on the user-interface thread with the path of each accepted request
    // (an empty path: a start without a file).
    std::function<void(const QString& path)> on_open;

    static QString default_socket_path();

  private:
    bool listen();
    HandOver hand_over(const QString& file);
    void accept_connections();
    void read_request(QLocalSocket* socket);

    QString path_;
    QLocalServer* server_ = nullptr;
};

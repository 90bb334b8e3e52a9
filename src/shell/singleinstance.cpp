#include "shell/singleinstance.h"

#include <unistd.h>

#include <algorithm>
#include <memory>

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

namespace {

// What a later copy sends: this line, then its arguments as UTF-8, each ended by a NUL,
// then an empty one. The answer is kTaken.
constexpr char kHello[] = "kumolist-arguments-1\n";
constexpr char kTaken[] = "taken\n";
// A copy sends file names; more is no copy of ours.
constexpr qint64 kMaxMessageBytes = 1024 * 1024;
// A peer that says nothing more is dropped after this long.
constexpr int kPeerTimeoutMs = 5000;

QString SocketName(const QString& settingsFile)
{
    const QByteArray key = QFileInfo(settingsFile).absoluteFilePath().toUtf8();
    const QString hash = QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(16));
    const QString name = QStringLiteral("kumolist-%1-%2").arg(::getuid()).arg(hash);
    // The runtime folder is the user's alone; without one the socket lies in /tmp,
    // readable by the user alone (UserAccessOption).
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) return QDir(runtime).filePath(name);
    return name;
}

QStringList Parse(const QByteArray& message, bool* complete)
{
    *complete = false;
    if (!message.startsWith(kHello)) return {};
    QStringList arguments;
    qsizetype at = static_cast<qsizetype>(sizeof(kHello) - 1);
    while (at < message.size()) {
        const qsizetype end = message.indexOf('\0', at);
        if (end < 0) return {};
        if (end == at) {
            *complete = true;
            return arguments;
        }
        arguments << QString::fromUtf8(message.mid(at, end - at));
        at = end + 1;
    }
    return {};
}

} // namespace

SingleInstance::SingleInstance(const QString& settingsFile, QObject* parent)
    : QObject(parent), name_(SocketName(settingsFile))
{
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::HandOver(const QStringList& arguments, int waitMs) const
{
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(std::min(waitMs, 1000))) return false;
    QByteArray message(kHello);
    for (const QString& a : arguments) message += a.toUtf8() + '\0';
    message += '\0';
    if (message.size() > kMaxMessageBytes) return false;
    socket.write(message);
    if (!socket.waitForBytesWritten(waitMs)) return false;
    QByteArray answer;
    while (answer.size() < qsizetype(sizeof(kTaken) - 1) && socket.waitForReadyRead(waitMs)) answer += socket.readAll();
    return answer.startsWith(kTaken);
}

bool SingleInstance::Listen()
{
    if (server_) return true;
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name_)) {
        // A socket left by a copy that ended without closing it: no copy answered there
        // (HandOver came first), so it is taken over.
        QLocalServer::removeServer(name_);
        if (!server_->listen(name_)) {
            delete server_;
            server_ = nullptr;
            return false;
        }
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) Take(socket);
    });
    return true;
}

void SingleInstance::Take(QLocalSocket* socket)
{
    // Read as it comes, never waiting on the user-interface thread. The buffer lives
    // as long as the connections that hold it, which go with the socket.
    auto buffer = std::make_shared<QByteArray>();
    QTimer::singleShot(kPeerTimeoutMs, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer] {
        *buffer += socket->readAll();
        if (buffer->size() > kMaxMessageBytes) {
            socket->abort();
            socket->deleteLater();
            return;
        }
        bool complete = false;
        const QStringList arguments = Parse(*buffer, &complete);
        if (!complete) return;
        buffer->clear();
        socket->write(kTaken);
        socket->flush();
        socket->disconnectFromServer();
        emit ArgumentsReceived(arguments);
    });
}

#include "app/SingleInstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>

namespace {

constexpr const char* AppId = "example.stillwise.stillwise";
constexpr char Greeting[] = "stillwise-start";
constexpr char Answer[] = "ok\n";
// A request is one line; a peer that sends more is cut off.
constexpr qint64 MaxLine = 256;
// How long a start waits for the running program to take its request.
// The running program answers from its event loop; a modal dialog does not
// stop it, a program hung for this long is treated as gone.
constexpr int ConnectMs = 1000;
constexpr int AnswerMs = 3000;
// How long a start waits for another start at the same moment.
constexpr int LockMs = 5000;

} // namespace

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), path_(socketPath.isEmpty() ? DefaultSocketPath() : std::move(socketPath))
{
}

SingleInstance::~SingleInstance()
{
    // QLocalServer::close() removes the socket file.
    if (server_ != nullptr)
        server_->close();
}

QString SingleInstance::DefaultSocketPath()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir + QLatin1Char('/') + QLatin1String(AppId) + QLatin1String(".socket");
}

QByteArray SingleInstance::Encode(const StartOptions& options)
{
    QByteArray line = Greeting;
    if (options.webcam)
        line += " webcam";
    if (options.tray)
        line += " tray";
    return line + '\n';
}

std::optional<StartOptions> SingleInstance::Decode(const QByteArray& line)
{
    StartOptions options;
    const QList<QByteArray> words = line.trimmed().split(' ');
    if (words.isEmpty() || words.front() != Greeting)
        return std::nullopt;
    for (const QByteArray& word : words) {
        if (word == "webcam")
            options.webcam = true;
        else if (word == "tray")
            options.tray = true;
    }
    return options;
}

SingleInstance::Claim SingleInstance::claim(const StartOptions& options)
{
    error_.clear();
    QLockFile lock(path_ + QLatin1String(".lock"));
    // Only held for the look and the listen; a lock whose process is gone
    // counts as stale at once, and one this old cannot be a start at work.
    lock.setStaleLockTime(30000);
    if (!lock.tryLock(LockMs)) {
        error_ = tr("Stillwise konnte nicht feststellen, ob es schon läuft: Die Sperrdatei %1 ist nicht "
                    "zu haben.")
                     .arg(QDir::toNativeSeparators(lock.fileName()));
        return Claim::Failed;
    }
    switch (handOver(options)) {
    case HandOver::Taken:
        return Claim::HandedOver;
    case HandOver::NoAnswer:
        // The socket exists but nobody takes a request: a hung program, or
        // a crashed one whose socket another process keeps open. Starting
        // beside it is better than no start.
    case HandOver::NobodyListens:
        break;
    }
    return listen() ? Claim::First : Claim::Failed;
}

SingleInstance::HandOver SingleInstance::handOver(const StartOptions& options)
{
    if (!QFileInfo::exists(path_))
        return HandOver::NobodyListens;
    QLocalSocket socket;
    socket.connectToServer(path_);
    if (!socket.waitForConnected(ConnectMs))
        return HandOver::NobodyListens;
    socket.write(Encode(options));
    if (!socket.waitForBytesWritten(AnswerMs))
        return HandOver::NoAnswer;
    QByteArray answer;
    while (!answer.endsWith('\n') && answer.size() < MaxLine) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(AnswerMs))
            break;
        answer += socket.read(MaxLine - answer.size());
    }
    return answer == Answer ? HandOver::Taken : HandOver::NoAnswer;
}

bool SingleInstance::listen()
{
    // Whatever is left at the path answers nobody (we hold the lock and
    // just tried): a crashed program's socket.
    QLocalServer::removeServer(path_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(path_)) {
        error_ = tr("Stillwise kann den Kanal für weitere Aufrufe (%1) nicht öffnen: %2")
                     .arg(QDir::toNativeSeparators(path_), server_->errorString());
        delete server_;
        server_ = nullptr;
        return false;
    }
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::accept);
    return true;
}

void SingleInstance::accept()
{
    while (QLocalSocket* peer = server_->nextPendingConnection()) {
        connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        const QPointer<QLocalSocket> guard(peer);
        auto read = [this, guard] {
            if (guard.isNull())
                return;
            QLocalSocket* peer = guard.data();
            if (!peer->canReadLine()) {
                if (peer->bytesAvailable() >= MaxLine)
                    peer->abort();
                return;
            }
            const std::optional<StartOptions> options = Decode(peer->readLine(MaxLine));
            if (!options) {
                peer->abort();
                return;
            }
            peer->write(Answer);
            peer->flush();
            peer->disconnectFromServer();
            // Acted on once this reading is over: what the request starts
            // may open a dialog.
            QMetaObject::invokeMethod(
                this, [this, options = *options] { emit received(options); }, Qt::QueuedConnection);
        };
        connect(peer, &QLocalSocket::readyRead, this, read);
        // A peer that connects and says nothing is not kept.
        QTimer::singleShot(2 * AnswerMs, peer, &QLocalSocket::abort);
        read();
    }
}

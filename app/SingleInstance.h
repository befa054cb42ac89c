#pragma once
// One Stillwise per user session. The first start listens on a local
// socket in the user's runtime folder; a later start connects, hands over
// its start options and ends. A lock file beside the socket makes the
// look-and-listen one step, so that two starts at the same moment do not
// both become the first. A socket or lock left behind by a crashed
// program never blocks: a socket nobody answers on is removed, and Qt's
// lock file knows a lock whose process is gone.
//
// The socket is the user's alone (mode 0600, in a 0700 folder). What comes
// in is read as at most one short line; anything else is ignored.

#include "app/CommandLine.h"

#include <QObject>
#include <QString>

#include <optional>

class QLocalServer;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `socketPath` empty: DefaultSocketPath().
    explicit SingleInstance(QString socketPath = QString(), QObject* parent = nullptr);
    ~SingleInstance() override;

    enum class Claim {
        First,      // this is the running instance now; received() reports later starts
        HandedOver, // another instance runs and has taken `options`
        Failed      // neither; error() says why
    };
    // Blocks for at most a few seconds. Call once.
    Claim claim(const StartOptions& options);
    const QString& error() const { return error_; }
    const QString& socketPath() const { return path_; }

    // $XDG_RUNTIME_DIR/<app id>.socket (Qt's runtime folder where the
    // variable is not set).
    static QString DefaultSocketPath();

    // The line a start sends, and its reading; unknown words are ignored,
    // so that an older program understands a newer one's request.
    static QByteArray Encode(const StartOptions& options);
    // Nothing for a line that is no request.
    static std::optional<StartOptions> Decode(const QByteArray& line);

signals:
    // A later start's options, in the GUI thread.
    void received(const StartOptions& options);

private:
    enum class HandOver { Taken, NobodyListens, NoAnswer };
    HandOver handOver(const StartOptions& options);
    bool listen();
    void accept();

    QString path_;
    QLocalServer* server_ = nullptr;
    QString error_;
};

#include "viewer/PrintErrorRelay.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::string textOf(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return {};
    }
}

const QEvent::Type kRaiseEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class RaiseEvent : public QEvent {
public:
    RaiseEvent(std::exception_ptr error, std::string text)
        : QEvent(kRaiseEvent), error_(std::move(error)), text_(std::move(text))
    {}
    const std::exception_ptr& error() const { return error_; }
    const std::string& text() const { return text_; }

private:
    std::exception_ptr error_;
    std::string text_;
};

class Relay : public QObject {
public:
    explicit Relay(QObject* parent) : QObject(parent) {}

    void post(std::exception_ptr error)
    {
        std::string text = textOf(error);
        if (!text.empty() && std::find(pending_.begin(), pending_.end(), text) != pending_.end())
            return;
        pending_.push_back(text);
        QCoreApplication::postEvent(this, new RaiseEvent(std::move(error), std::move(text)));
    }

    bool event(QEvent* event) override
    {
        if (event->type() != kRaiseEvent)
            return QObject::event(event);
        auto* raise = static_cast<RaiseEvent*>(event);
        const auto it = std::find(pending_.begin(), pending_.end(), raise->text());
        if (it != pending_.end())
            pending_.erase(it);
        std::rethrow_exception(raise->error());
    }

private:
    std::vector<std::string> pending_;
};

} // namespace

void RaiseInEventLoop(std::exception_ptr error)
{
    // Lives as long as the application object; made on the GUI thread.
    static QPointer<Relay> relay;
    if (!relay)
        relay = new Relay(QCoreApplication::instance());
    relay->post(std::move(error));
}

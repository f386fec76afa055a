#include "ui/qt/qt_event_loop.h"

#include <QtCore/QAbstractEventDispatcher>
#include <QtCore/QCoreApplication>
#include <QtCore/QPointer>
#include <QtCore/QSocketNotifier>
#include <QtCore/QThread>
#include <QtCore/QTimer>

#include <algorithm>
#include <chrono>
#include <map>
#include <thread>

namespace telvane {

struct CQtEventLoop::State {
    struct WATCH {
        QPointer<QSocketNotifier> notifier;
        ReadyFn on_ready;
    };
    std::map<int, WATCH> watches;
    int last_handle = 0;
    QObject context;  // owns the notifiers, receives the queued calls

    void Run(int handle) {
        const auto it = watches.find(handle);
        if (it == watches.end()) return;
        // A copy: the handler may unwatch itself.
        const ReadyFn on_ready = it->second.on_ready;
        if (!on_ready()) return;
        // It still holds data the descriptor no longer signals: hand the next one on in a
        // later batch, so a wait sees its event between two datagrams.
        QMetaObject::invokeMethod(
            &context, [this, handle] { Run(handle); }, Qt::QueuedConnection);
    }
};

CQtEventLoop::CQtEventLoop() : state_(std::make_unique<State>()) {}

CQtEventLoop::~CQtEventLoop() {
    for (auto& [handle, watch] : state_->watches) delete watch.notifier.data();
}

int CQtEventLoop::Watch(int fd, ReadyFn on_ready) {
    const int handle = ++state_->last_handle;
    auto* notifier = new QSocketNotifier(static_cast<qintptr>(fd), QSocketNotifier::Read, &state_->context);
    QObject::connect(notifier, &QSocketNotifier::activated, &state_->context,
                     [state = state_.get(), handle] { state->Run(handle); });
    state_->watches[handle] = {notifier, std::move(on_ready)};
    return handle;
}

void CQtEventLoop::Unwatch(int handle) {
    const auto it = state_->watches.find(handle);
    if (it == state_->watches.end()) return;
    if (QSocketNotifier* notifier = it->second.notifier.data()) {
        notifier->setEnabled(false);
        // It may be inside its own notification; deleting it there is not allowed.
        notifier->deleteLater();
    }
    state_->watches.erase(it);
}

void CQtEventLoop::HandleOneBatch(std::uint32_t ms) {
    QAbstractEventDispatcher* dispatcher = QThread::currentThread()->eventDispatcher();
    if (dispatcher == nullptr) {
        // No event loop on this thread: nothing can arrive, so sleeping is the wait.
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return;
    }
    // The timer is what wakes the dispatcher at the deadline.
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    deadline.start(static_cast<int>(std::min<std::uint32_t>(ms, 0x7FFFFFFF)));
    dispatcher->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void UseQtEventLoop() {
    // Never destroyed: its notifiers must not outlive the dispatcher's end in a static
    // destructor.
    static CQtEventLoop* const loop = new CQtEventLoop;
    SetEventLoop(loop);
}

}  // namespace telvane

#include "platform/desktop/Scheduler.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QPointer>
#include <QtCore/QTimer>

#include <coroutine>

namespace velto {
namespace {

/// A single-shot timer and the time its action is due. Put off, the action only moves its due time: the timer
/// fires when first set, finds the action not due yet and waits again for the rest. A wait put off at every
/// keystroke then costs the timer's registration with the event loop once per wait, not twice per key.
class QtScheduledAction : public VeltoScheduledAction {
public:
    using Clock = std::chrono::steady_clock;

    QtScheduledAction(std::chrono::milliseconds delay, std::function<void()> action)
        : timer_(new QTimer)
        , due_(std::make_shared<Clock::time_point>(Clock::now() + delay)) {
        timer_->setSingleShot(true);
        timer_->setTimerType(Qt::PreciseTimer);
        QTimer *timer = timer_.data();
        QObject::connect(timer_, &QTimer::timeout, timer_, [timer, due = due_, action = std::move(action)] {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*due - Clock::now());
            if (left.count() > 0) {
                timer->start(left);
                return;
            }
            action();
        });
        timer_->start(delay);
    }
    // The action may drop its own handle while the timer is still delivering its timeout.
    ~QtScheduledAction() override {
        if (timer_ != nullptr) {
            timer_->stop();
            timer_->deleteLater();
        }
    }

    void cancel() override {
        if (timer_ != nullptr) {
            timer_->stop();
        }
    }

    bool postpone(std::chrono::milliseconds delay) override {
        if (timer_ == nullptr || !timer_->isActive()) {
            return false;
        }
        const Clock::time_point due = Clock::now() + delay;
        if (due < *due_) {
            timer_->start(delay); // sooner than the timer is set for
        }
        *due_ = due;
        return true;
    }

private:
    QPointer<QTimer> timer_;
    std::shared_ptr<Clock::time_point> due_; // shared with the timer's handler, which may outlive this handle
};

class QtScheduler : public VeltoScheduler {
public:
    std::unique_ptr<VeltoScheduledAction> schedule(std::chrono::milliseconds delay,
                                                   std::function<void()> action) override {
        return std::make_unique<QtScheduledAction>(delay, std::move(action));
    }
};

/// What the sleeping coroutine and its two wake-up paths share: whichever comes first resumes it.
struct SleepState {
    std::coroutine_handle<> continuation;
    std::unique_ptr<VeltoScheduledAction> timer;
    bool finished = false;
    bool elapsed = false;

    void wake(bool timeElapsed) {
        if (finished) {
            return;
        }
        finished = true;
        elapsed = timeElapsed;
        if (continuation) {
            std::exchange(continuation, {}).resume();
        }
    }
};

class SleepAwaiter {
public:
    explicit SleepAwaiter(std::shared_ptr<SleepState> state)
        : state_(std::move(state)) {}
    bool await_ready() const noexcept { return state_->finished; }
    void await_suspend(std::coroutine_handle<> continuation) noexcept { state_->continuation = continuation; }
    bool await_resume() const noexcept { return state_->elapsed; }

private:
    std::shared_ptr<SleepState> state_;
};

} // namespace

VeltoScheduler &qtScheduler() {
    static QtScheduler scheduler;
    return scheduler;
}

QCoro::Task<bool> sleepFor(VeltoScheduler &scheduler, std::chrono::milliseconds delay, CancellationToken cancellation) {
    auto state = std::make_shared<SleepState>();
    if (cancellation.isCancelled()) {
        co_return false;
    }
    std::weak_ptr<SleepState> weakState = state;
    state->timer = scheduler.schedule(delay, [weakState] {
        if (auto strong = weakState.lock()) {
            strong->wake(true);
        }
    });
    // Cancellation may come from any thread; the coroutine resumes on the application's thread.
    QPointer<QCoreApplication> application = QCoreApplication::instance();
    CancellationToken::CallbackId callback = cancellation.onCancel([weakState, application] {
        if (application == nullptr) {
            return;
        }
        QMetaObject::invokeMethod(
            application.data(),
            [weakState] {
                if (auto strong = weakState.lock()) {
                    strong->wake(false);
                }
            },
            Qt::QueuedConnection);
    });
    SleepAwaiter awaiter(state); // named: GCC destroys a temporary awaiter twice
    bool elapsed = co_await awaiter;
    cancellation.removeCallback(callback);
    state->timer.reset();
    co_return elapsed;
}

} // namespace velto

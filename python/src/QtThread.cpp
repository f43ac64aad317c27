#include "QtThread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>

#include <atomic>
#include <csignal>
#include <exception>
#include <future>
#include <memory>

#include <pthread.h>

namespace {

// The application object's arguments must outlive it.
int appArgc = 1;
char appName[] = "torvan60";
char *appArgv[] = {appName, nullptr};

} // namespace

namespace {

std::atomic<QtThread *> theThread{nullptr};

} // namespace

QtThread &QtThread::instance()
{
    // Never destroyed: the thread is ended by stop() while Python still
    // runs, not by a static destructor after it.
    static QtThread *thread = [] {
        auto *made = new QtThread;
        theThread = made;
        return made;
    }();
    return *thread;
}

bool QtThread::exists()
{
    return theThread != nullptr;
}

QtThread::QtThread()
{
    std::unique_lock<std::mutex> lock(mutex);
    thread = std::thread([this] { main(); });
    started.wait(lock, [this] { return context != nullptr; });
}

void QtThread::main()
{
    // Signals are Python's: Ctrl-C is to reach its main thread, not to be
    // taken in here where nothing handles it.
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
    // A program that has its own application object (a Qt window of its
    // own) keeps it; the device objects then run on this thread's loop.
    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance())
        app = std::make_unique<QCoreApplication>(appArgc, appArgv);
    QEventLoop eventLoop;
    QObject workContext;
    {
        std::lock_guard<std::mutex> lock(mutex);
        loop = &eventLoop;
        context = &workContext;
    }
    started.notify_all();
    eventLoop.exec();
    // Work handed over after the end is dropped with the context.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void QtThread::post(std::function<void()> fn)
{
    QMetaObject::invokeMethod(context, std::move(fn), Qt::QueuedConnection);
}

void QtThread::run(const std::function<void()> &fn)
{
    if (std::this_thread::get_id() == thread.get_id()) {
        fn();
        return;
    }
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    post([&fn, done] {
        try {
            fn();
            done->set_value();
        } catch (...) {
            done->set_exception(std::current_exception());
        }
    });
    finished.get();
}

void QtThread::stop(const std::function<void()> &atStop)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (stopped)
            return;
        stopped = true;
    }
    run([this, &atStop] {
        atStop();
        loop->quit();
    });
    thread.join();
}

#pragma once

#include <QObject>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class QEventLoop;

// The one thread of the module that runs what the core needs: a Qt event
// loop, with the application object when the process has none, and the
// device objects and services on it. Python never runs an event loop; its
// threads hand work to this one and wait for the answers.
class QtThread
{
public:
    // Started on first use.
    static QtThread &instance();
    // Whether it was started.
    static bool exists();

    // Runs fn on the thread and returns at once.
    void post(std::function<void()> fn);
    // Runs fn on the thread and waits for it. A caller holding Python's
    // lock releases it first: fn may take a while.
    void run(const std::function<void()> &fn);
    // Ends the loop and the thread, after running atStop on it. Later calls
    // do nothing; no work may be handed over afterwards.
    void stop(const std::function<void()> &atStop);

private:
    QtThread();
    void main();

    std::thread thread;
    std::mutex mutex;
    std::condition_variable started;
    QObject *context = nullptr; // lives on the thread; work is queued to it
    QEventLoop *loop = nullptr;
    bool stopped = false;
};

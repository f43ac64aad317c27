#pragma once

#include "record/RecordingReader.h"

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

// Reads a live data file on a thread of its own, so that a file of any size
// (an hour is 40 MB, a forgotten recording gigabytes) never holds up the
// window. The rows come back in batches of about BatchRows (what one read of
// ChunkBytes completes beyond them at most) through rowsReady(), at
// most a few batches per turn of the event loop; the reading thread waits
// while MaxQueuedBatches are not yet taken, so the memory in between stays
// bounded whatever the size of the file. progress() tells how far it got;
// finished() comes last, with info() filled in. Made and used on one thread
// (the window's); destroying it cancels the reading and waits for it.
class RecordingLoader : public QObject
{
    Q_OBJECT
public:
    static constexpr int BatchRows = 8192;
    static constexpr int MaxQueuedBatches = 8;
    static constexpr int ChunkBytes = 1 << 20;
    // Batches handed out in one turn of the event loop.
    static constexpr int BatchesPerTurn = 2;

    explicit RecordingLoader(QObject *parent = nullptr);
    ~RecordingLoader() override;

    // Starts reading path, cancelling a reading that runs (whose rows and
    // signals stop at once). keepRows false: only info() is wanted.
    void start(const QString &path, bool keepRows = true);
    // Stops reading; finished() follows with info().cancelled set.
    void cancel();
    bool isRunning() const { return running; }

    // The batch rowsReady() announces; called there (empty elsewhere).
    std::vector<RecordedRow> takeRows();

    // Reads to the end on the calling thread's terms, handing out every
    // batch through rowsReady() as it comes, then finished(); for tests and
    // benchmarks, which need no event loop for it.
    void waitUntilDone();

    // What was read; complete once finished() came.
    const RecordingInfo &info() const { return result; }

signals:
    void progress(qint64 bytesRead, qint64 bytesTotal);
    void rowsReady();
    void finished();

private slots:
    // The reading thread has news: batches, progress or its end.
    void deliver();

private:
    void read(QString path, bool keepRows);
    void stopThread();
    // Hands out up to limit batches; true when the reading is over and
    // every batch was handed out.
    bool handOut(int limit);
    void end();

    std::thread worker;
    bool running = false;
    RecordingInfo result;
    std::vector<RecordedRow> current; // the batch rowsReady() hands out

    // Shared with the reading thread, under mutex.
    std::mutex mutex;
    std::condition_variable room;  // a batch was taken, or cancel
    std::condition_variable ready; // a batch, or the end
    std::deque<std::vector<RecordedRow>> batches;
    qint64 bytesRead = 0, bytesTotal = 0;
    bool done = false;
    bool deliveryPosted = false;
    RecordingInfo workerResult;
    std::atomic<bool> cancelled{false};
};

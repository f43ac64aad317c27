#include "record/RecordingLoader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <climits>

RecordingLoader::RecordingLoader(QObject *parent) : QObject(parent)
{}

RecordingLoader::~RecordingLoader()
{
    stopThread();
}

void RecordingLoader::start(const QString &path, bool keepRows)
{
    stopThread();
    {
        std::lock_guard<std::mutex> lock(mutex);
        batches.clear();
        bytesRead = bytesTotal = 0;
        done = false;
        deliveryPosted = false;
        workerResult = RecordingInfo();
    }
    cancelled = false;
    result = RecordingInfo();
    result.path = path;
    running = true;
    worker = std::thread([this, path, keepRows] { read(path, keepRows); });
}

void RecordingLoader::cancel()
{
    if (!running)
        return;
    cancelled = true;
    room.notify_all();
}

void RecordingLoader::stopThread()
{
    cancelled = true;
    room.notify_all();
    if (worker.joinable())
        worker.join();
    std::lock_guard<std::mutex> lock(mutex);
    batches.clear();
    running = false;
}

void RecordingLoader::read(QString path, bool keepRows)
{
    RecordingInfo info;
    info.path = path;
    // News for the window's thread, once until it has looked.
    const auto post = [this] {
        if (deliveryPosted)
            return;
        deliveryPosted = true;
        QMetaObject::invokeMethod(this, "deliver", Qt::QueuedConnection);
    };
    std::vector<RecordedRow> rows;
    const auto handOver = [&] {
        std::unique_lock<std::mutex> lock(mutex);
        room.wait(lock, [this] { return batches.size() < size_t(MaxQueuedBatches) || cancelled; });
        if (cancelled)
            return;
        batches.push_back(std::move(rows));
        ready.notify_all();
        post();
    };

    QFile file(path);
    const QString name = QDir::toNativeSeparators(path);
    if (QFileInfo(path).isDir()) {
        info.fail(QT_TRANSLATE_NOOP("RecordingInfo", "Cannot read %1: it is a folder."), {name});
    } else if (!file.open(QIODevice::ReadOnly)) {
        info.fail(QT_TRANSLATE_NOOP("RecordingInfo", "Cannot read %1: %2."), {name, file.errorString()});
    } else {
        info.bytes = file.size();
        {
            std::lock_guard<std::mutex> lock(mutex);
            bytesTotal = info.bytes;
        }
        RecordingParser parser;
        std::vector<char> buffer(ChunkBytes);
        rows.reserve(BatchRows);
        while (!cancelled && !parser.notOurs()) {
            const qint64 n = file.read(buffer.data(), ChunkBytes);
            if (n < 0) {
                info.fail(QT_TRANSLATE_NOOP("RecordingInfo", "Cannot read %1: %2."), {name, file.errorString()});
                break;
            }
            if (n == 0) {
                parser.finish(rows);
                if (!rows.empty() && keepRows)
                    handOver();
                break;
            }
            parser.feed(buffer.data(), n, rows);
            if (!keepRows)
                rows.clear();
            else if (rows.size() >= size_t(BatchRows))
                handOver();
            if (rows.capacity() == 0)
                rows.reserve(BatchRows);
            std::lock_guard<std::mutex> lock(mutex);
            bytesRead += n;
            post();
        }
        info.cancelled = cancelled;
        if (info.error.isEmpty())
            info.take(parser);
    }
    std::lock_guard<std::mutex> lock(mutex);
    workerResult = std::move(info);
    done = true;
    ready.notify_all();
    post();
}

void RecordingLoader::deliver()
{
    qint64 read = 0, total = 0;
    bool more = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        deliveryPosted = false;
        read = bytesRead;
        total = bytesTotal;
        if (cancelled)
            batches.clear(); // nothing more after a cancel
    }
    if (!running)
        return;
    emit progress(read, total);
    if (handOut(BatchesPerTurn)) {
        end();
        return;
    }
    // More than one turn's worth: the rest after other events had theirs.
    std::lock_guard<std::mutex> lock(mutex);
    more = !batches.empty() || done;
    if (more && !deliveryPosted) {
        deliveryPosted = true;
        QMetaObject::invokeMethod(this, "deliver", Qt::QueuedConnection);
    }
}

bool RecordingLoader::handOut(int limit)
{
    for (int i = 0; i < limit && running; ++i) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (batches.empty() || cancelled)
                break;
            current = std::move(batches.front());
            batches.pop_front();
        }
        room.notify_all();
        emit rowsReady();
        current.clear();
    }
    std::lock_guard<std::mutex> lock(mutex);
    return running && done && (batches.empty() || cancelled);
}

std::vector<RecordedRow> RecordingLoader::takeRows()
{
    return std::move(current);
}

void RecordingLoader::waitUntilDone()
{
    while (running) {
        {
            std::unique_lock<std::mutex> lock(mutex);
            ready.wait(lock, [this] { return !batches.empty() || done; });
        }
        if (handOut(INT_MAX))
            end();
    }
}

void RecordingLoader::end()
{
    if (worker.joinable())
        worker.join();
    {
        std::lock_guard<std::mutex> lock(mutex);
        result = std::move(workerResult);
        batches.clear();
    }
    running = false;
    emit progress(result.bytes, result.bytes);
    emit finished();
}

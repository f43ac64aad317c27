#include "mqtt/MqttOutbox.h"

bool MqttOutbox::putState(MqttMessage message)
{
    std::lock_guard<std::mutex> lock(mutex);
    const bool replacing = hasState;
    if (replacing)
        ++replaced;
    state = std::move(message);
    hasState = true;
    return replacing;
}

void MqttOutbox::putRetained(MqttMessage message)
{
    std::lock_guard<std::mutex> lock(mutex);
    for (Retained &old : retainedMessages) {
        if (old.message.topic == message.topic) {
            old.message = std::move(message);
            old.due = true;
            return;
        }
    }
    retainedMessages.push_back({std::move(message), true});
}

void MqttOutbox::retainAgain()
{
    std::lock_guard<std::mutex> lock(mutex);
    for (Retained &retained : retainedMessages)
        retained.due = true;
}

bool MqttOutbox::putKept(MqttMessage message)
{
    std::lock_guard<std::mutex> lock(mutex);
    const qint64 bytes = message.topic.size() + message.payload.size();
    if (int(kept.size()) >= MaxKept || keptBytes + bytes > MaxKeptBytes) {
        ++dropped;
        return false;
    }
    keptBytes += bytes;
    kept.push_back(std::move(message));
    return true;
}

bool MqttOutbox::take(MqttMessage &message, bool qos1Room)
{
    std::lock_guard<std::mutex> lock(mutex);
    for (Retained &retained : retainedMessages) {
        if (retained.due && (qos1Room || retained.message.qos == 0)) {
            retained.due = false;
            message = retained.message;
            return true;
        }
    }
    if (!held && !kept.empty() && (qos1Room || kept.front().qos == 0)) {
        message = std::move(kept.front());
        kept.pop_front();
        keptBytes -= message.topic.size() + message.payload.size();
        return true;
    }
    if (hasState) {
        message = std::move(state);
        hasState = false;
        return true;
    }
    return false;
}

int MqttOutbox::takeDropped()
{
    std::lock_guard<std::mutex> lock(mutex);
    const int count = dropped;
    dropped = 0;
    return count;
}

int MqttOutbox::takeReplaced()
{
    std::lock_guard<std::mutex> lock(mutex);
    const int count = replaced;
    replaced = 0;
    return count;
}

int MqttOutbox::keptCount() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return int(kept.size());
}

void MqttOutbox::hold()
{
    std::lock_guard<std::mutex> lock(mutex);
    held = true;
}

void MqttOutbox::startSession(std::vector<MqttMessage> first)
{
    std::lock_guard<std::mutex> lock(mutex);
    kept.clear();
    keptBytes = 0;
    for (MqttMessage &message : first) {
        keptBytes += message.topic.size() + message.payload.size();
        kept.push_back(std::move(message));
    }
    held = false;
}

bool MqttOutbox::pending() const
{
    std::lock_guard<std::mutex> lock(mutex);
    for (const Retained &retained : retainedMessages)
        if (retained.due)
            return true;
    return hasState || (!held && !kept.empty());
}

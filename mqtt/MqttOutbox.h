#pragma once

#include <QByteArray>

#include <deque>
#include <map>
#include <mutex>
#include <vector>

// One message to publish.
struct MqttMessage
{
    QByteArray topic;
    QByteArray payload;
    int qos = 0;
    bool retain = false;
    qint64 seq = -1; // state messages: their number, sent as the user property "seq"
};

// What waits to be published, between the holder's thread (which puts) and
// the network thread (which takes), so the board's loop never waits for the
// broker. Bounded: a newer state message replaces one not yet taken, the
// retained messages are kept one per topic (and handed out again for every
// connection), and the other messages (events, replies) are kept in order
// up to a limit; past it they are dropped and counted.
class MqttOutbox
{
public:
    static constexpr int MaxKept = 1000;
    static constexpr qint64 MaxKeptBytes = 8 * 1024 * 1024;

    // The newest state; true when it replaced one that was never taken.
    bool putState(MqttMessage message);
    // Kept for every connection from now on (retained topics), replacing
    // the one of its topic.
    void putRetained(MqttMessage message);
    // A new connection: every retained message is to be handed out again.
    void retainAgain();
    // An event or a reply; false when the queue is full and it was dropped.
    bool putKept(MqttMessage message);

    // A connection whose session the sender starts itself: the kept
    // messages wait until startSession().
    void hold();
    // The session's first messages replace every kept one (those were made
    // for a connection that is gone), and the kept messages go again.
    void startSession(std::vector<MqttMessage> first);

    // The next message to publish: retained ones not yet handed out, kept
    // ones in order (QoS 1 messages only while qos1Room), then the state.
    // False when nothing may go.
    bool take(MqttMessage &message, bool qos1Room);

    // Counted since the last call, then started afresh.
    int takeDropped();
    int takeReplaced();
    int keptCount() const;
    // Something take() would hand out, room for QoS 1 given.
    bool pending() const;

private:
    mutable std::mutex mutex;
    bool hasState = false;
    MqttMessage state;
    std::deque<MqttMessage> kept;
    bool held = false;
    qint64 keptBytes = 0;
    struct Retained
    {
        MqttMessage message;
        bool due = true;
    };
    std::vector<Retained> retainedMessages;
    int dropped = 0;
    int replaced = 0;
};

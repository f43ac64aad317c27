#pragma once

// The window on a connected simulated board whose driver is enabled, with
// what the motion tabs' tests read back of the commands it sent.
#include "WindowRig.h"

#include "device/Records.h"

#include <qcustomplot.h>

#include <QAbstractSpinBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

namespace MotionTabs {

inline int32_t le32(const ReceivedCommand &command, int at)
{
    const auto &p = command.plain;
    return int32_t(uint32_t(p[at]) | uint32_t(p[at + 1]) << 8 | uint32_t(p[at + 2]) << 16 | uint32_t(p[at + 3]) << 24);
}

inline QStringList paneLines(const QPlainTextEdit *pane)
{
    const QString text = pane->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

inline double lastValue(const QCPGraph *graph)
{
    return graph->data()->isEmpty() ? qQNaN() : (graph->data()->constEnd() - 1)->value;
}

struct MotionRig : WindowRig
{
    MotionRig()
    {
        connectBoard();
        w<QPushButton>("btnRunStop")->click(); // the board starts asleep
        run(100);
        board.received.clear();
    }

    // Lets the simulated world and the live stream run for ms milliseconds.
    void run(int ms)
    {
        for (int t = 0; t < ms; t += 10) {
            clock.advance(10);
            receiveTick();
        }
    }

    std::vector<ReceivedCommand> sent(unsigned char code) const
    {
        std::vector<ReceivedCommand> out;
        for (const ReceivedCommand &c : board.received)
            if (c.code() == code)
                out.push_back(c);
        return out;
    }
    // One field of every trajectory command sent so far.
    QList<int> trajectoryField(int at) const
    {
        QList<int> values;
        for (const ReceivedCommand &c : sent(Report::CmdWriteTrajectory))
            values << le32(c, at);
        return values;
    }
    QList<int> targetsSent() const { return trajectoryField(21); }
    QList<int> speedsSent() const { return trajectoryField(49); }
    // Signed rate of every step-rate command: 0 for the stop, else the rate
    // the reload gives, with the direction byte's sign.
    QList<int> ratesSent() const
    {
        QList<int> rates;
        for (const ReceivedCommand &c : sent(Report::CmdSetStepFrequency)) {
            const int32_t reload = le32(c, 21);
            rates << (reload == -1 ? 0 : int(4800000 / (int64_t(reload) + 1)) * (c.plain[25] ? 1 : -1));
        }
        return rates;
    }

    // The operator types text into a box and presses Enter.
    void type(const char *box, const QString &text)
    {
        auto *spin = w<QAbstractSpinBox>(box);
        spin->selectAll();
        QTest::keyClicks(spin, text);
        QTest::keyClick(spin, Qt::Key_Enter);
    }

    int livePosition() const { return w<QSpinBox>("sbCurPos")->value(); }
    int liveSpeed() const { return w<QSpinBox>("sbCurSpeed")->value(); }
};

} // namespace MotionTabs

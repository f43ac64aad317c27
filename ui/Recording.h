#pragma once

#include "record/FaultBlackBox.h"
#include "record/LiveRecorder.h"
#include "record/WallClock.h"

#include <QList>
#include <QObject>
#include <QPointer>

class Logger;
class MonotonicClock;
class QBoxLayout;
class QPushButton;
class TorvanDRV;

// The window's side of the live data files: the "Record…" buttons of the
// "Log charts" and "Auto control" pages, which record every live report to a
// CSV file the operator chooses until pressed again, and the fault black box,
// which writes the minute before each new fault and the seconds after it to
// faults/ in the working directory. Both take the device object's live
// reports through a connection of their own; a report raised by a
// disconnection carries no reading and is left out.
class LiveRecording : public QObject
{
    Q_OBJECT
public:
    // The recording's row count on the buttons is brought up to date this
    // often while reports come in.
    static constexpr int CountRefreshMs = 1000;
    static inline const QString FaultFolder = QStringLiteral("faults");

    // logChartsButton is the page's button from the form; a button of the
    // same kind is added to autoControlButtons (after its first item). The
    // device object, the clock and the logger must outlive this.
    LiveRecording(TorvanDRV &device, const MonotonicClock &clock, Logger *logger, QPushButton *logChartsButton,
                  QBoxLayout *autoControlButtons, QObject *parent);

    // The wall clock of the time stamps; the system's unless set (not owned).
    void setWallClock(const WallClock *clock) { wall = clock ? clock : &systemWall; }

    LiveRecorder &recorder() { return liveRecorder; }
    FaultBlackBox &blackBox() { return faultBox; }
    const QList<QPushButton *> &buttons() const { return recordButtons; }

signals:
    // A recording ended (stopped, or ended by a failure): file holds it.
    void stopped(const QString &file);

public slots:
    // What a "Record…" button does: asks for a file and starts recording, or
    // stops the recording that runs.
    void toggleRecording();

private slots:
    void takeReport();
    void recordingFailed(const QString &error);

private:
    void startRecording();
    void stopRecording();
    void showState();
    void warn(const QString &title, const QString &text);
    void log(const QString &text);

    TorvanDRV &device;
    const MonotonicClock &clock;
    QPointer<Logger> logger;
    SystemWallClock systemWall;
    const WallClock *wall = &systemWall;
    LiveRecorder liveRecorder;
    FaultBlackBox faultBox;
    QList<QPushButton *> recordButtons;
    qint64 shownAtMs = 0;
};

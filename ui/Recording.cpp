#include "ui/Recording.h"

#include "device/TorvanDRV.h"
#include "log/Logger.h"
#include "ui/SaveFileChoice.h"

#include <QBoxLayout>
#include <QDir>
#include <QPushButton>

namespace {} // namespace

LiveRecording::LiveRecording(TorvanDRV &device, const MonotonicClock &clock, Logger *logger,
                             QPushButton *logChartsButton, QBoxLayout *autoControlButtons, QObject *parent)
    : QObject(parent), device(device), clock(clock), logger(logger), liveRecorder(clock),
      faultBox(clock, FaultFolder, logger)
{
    if (logChartsButton)
        recordButtons << logChartsButton;
    if (autoControlButtons) {
        // Built whole before it joins the page, which may be disabled by
        // then: built inside a disabled parent it would be exposed to
        // assistive technology as a plain widget.
        auto *button = new QPushButton;
        button->setObjectName(QStringLiteral("btnRecordPosCtrl"));
        autoControlButtons->insertWidget(1, button);
        recordButtons << button;
    }
    for (QPushButton *button : recordButtons) {
        button->setCheckable(true);
        connect(button, &QPushButton::clicked, this, &LiveRecording::toggleRecording);
    }
    showState();

    connect(&device, &TorvanDRV::newRTDataAvailable, this, &LiveRecording::takeReport);
    connect(&liveRecorder, &LiveRecorder::failed, this, &LiveRecording::recordingFailed);
}

void LiveRecording::takeReport()
{
    if (!device.IsConnected())
        return;
    const LiveSample sample{clock.nowMs(), wall->now(), device.RTData};
    faultBox.append(sample);
    if (!liveRecorder.isRecording())
        return;
    liveRecorder.append(sample);
    if (sample.monotonicMs - shownAtMs >= CountRefreshMs)
        showState();
}

void LiveRecording::toggleRecording()
{
    if (liveRecorder.isRecording())
        stopRecording();
    else
        startRecording();
    showState();
}

void LiveRecording::startRecording()
{
    const QString path =
        chooseSaveFile(device.Dialogs(), tr("Record live data"), tr("CSV files (*.csv)"), QStringLiteral("csv"));
    if (path.isEmpty())
        return;
    QString error;
    if (!liveRecorder.start(path, &error)) {
        log(QStringLiteral("Recording not started: cannot write ") + path + QStringLiteral(": ") + error);
        const QString text = tr("The file %1 cannot be written: %2.\nNothing is being recorded.");
        warn(QStringLiteral(QT_TRANSLATE_NOOP("OperatorDialogs", "Recording not started")),
             text.arg(QDir::toNativeSeparators(path), error));
        return;
    }
    log(QStringLiteral("Recording started: ") + path);
}

void LiveRecording::stopRecording()
{
    const QString path = liveRecorder.fileName();
    // A failure while writing the last lines has said so already.
    if (liveRecorder.stop()) {
        log(QStringLiteral("Recording stopped: %1, %2 rows").arg(path).arg(liveRecorder.rowCount()));
        emit stopped(path);
    }
}

void LiveRecording::recordingFailed(const QString &error)
{
    const QString path = liveRecorder.fileName();
    showState();
    log(QStringLiteral("Recording stopped: writing ") + path + QStringLiteral(" failed: ") + error);
    warn(QStringLiteral(QT_TRANSLATE_NOOP("OperatorDialogs", "Recording stopped")),
         tr("Writing %1 failed: %2.\nThe recording has stopped; what was written before is kept.")
             .arg(QDir::toNativeSeparators(path), error));
    emit stopped(path);
}

void LiveRecording::showState()
{
    shownAtMs = clock.nowMs();
    const bool on = liveRecorder.isRecording();
    const QString text = on ? tr("Stop recording (%1 rows)").arg(liveRecorder.rowCount()) : tr("Record…");
    const QString tip = on ? tr("Recording to %1; press to stop").arg(liveRecorder.fileName())
                           : tr("Record the live data to a CSV file");
    for (QPushButton *button : recordButtons) {
        button->setChecked(on);
        button->setText(text);
        button->setToolTip(tip);
    }
}

void LiveRecording::warn(const QString &title, const QString &text)
{
    if (OperatorDialogs *dialogs = device.Dialogs())
        dialogs->warning(title, text);
}

void LiveRecording::log(const QString &text)
{
    if (logger)
        logger->write(text);
}

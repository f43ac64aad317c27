#pragma once

#include "log/Logger.h"

#include <QObject>
#include <QPointer>
#include <QString>

class LiveChart;
class QMenu;
class QPoint;
class QWidget;
class TorvanDRV;

// The context menu of a live chart: "Save image…" (PNG or PDF at the chart's
// size on screen), "Save image at double size…" (the same drawn at twice the
// pixels, for print or slides) and "Save data…" (every point of every graph as
// CSV, with its elapsed time). Files are chosen through the device object's
// operator dialogs; failures are shown there and logged.
class ChartExport : public QObject
{
    Q_OBJECT
public:
    // chart, device and logger must outlive this.
    ChartExport(LiveChart *chart, TorvanDRV &device, Logger *logger, QObject *parent);

    // The menu the chart shows on a right click, owned by parent.
    QMenu *createMenu(QWidget *parent);

    // Saves the chart as PDF when path ends in .pdf, else as PNG, scale times
    // its size on screen (a PDF is vector graphics at the chart's size).
    bool saveImage(const QString &path, double scale);
    // Saves every point of every graph as CSV: per graph one column of
    // elapsed seconds and one of values, headed by the graph's name; shorter
    // graphs leave their cells empty below their last point.
    bool saveData(const QString &path);

private slots:
    void showMenu(const QPoint &pos);

private:
    void askImage(double scale);
    void askData();
    // Logs "<what> could not be saved to <path>" and warns with shown (the
    // same, translated, with %1 for the path).
    void failed(const QString &title, const QString &shown, const QString &what, const QString &path);
    void log(const QString &text);

    LiveChart *chart;
    TorvanDRV &device;
    QPointer<Logger> logger;
};

#include "ui/ChartExport.h"

#include "device/TorvanDRV.h"
#include "record/Csv.h"
#include "ui/Language.h"
#include "ui/LiveChart.h"
#include "ui/SaveFileChoice.h"

#include <qcustomplot.h>

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMenu>
#include <QSaveFile>

#include <algorithm>

namespace {

// Every point the chart keeps for a graph, oldest first: what it stores, not
// the thinned view it draws from.
QVector<QCPGraphData> storedPoints(const LiveChart &chart, int graph)
{
    QVector<QCPGraphData> points;
    points.reserve(chart.pointCount(graph));
    chart.forEachPoint(graph, [&points](double key, double value) { points.append(QCPGraphData(key, value)); });
    return points;
}

bool isPdf(const QString &path)
{
    return QFileInfo(path).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0;
}

} // namespace

ChartExport::ChartExport(LiveChart *chart, TorvanDRV &device, Logger *logger, QObject *parent)
    : QObject(parent), chart(chart), device(device), logger(logger)
{
    QCustomPlot *plot = chart->plot();
    plot->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(plot, &QWidget::customContextMenuRequested, this, &ChartExport::showMenu);
}

QMenu *ChartExport::createMenu(QWidget *parent)
{
    auto *menu = new QMenu(parent);
    connect(menu->addAction(tr("Save image…")), &QAction::triggered, this, [this] { askImage(1); });
    connect(menu->addAction(tr("Save image at double size…")), &QAction::triggered, this, [this] { askImage(2); });
    connect(menu->addAction(tr("Save data…")), &QAction::triggered, this, &ChartExport::askData);
    return menu;
}

void ChartExport::showMenu(const QPoint &pos)
{
    QMenu *menu = createMenu(chart->plot());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(chart->plot()->mapToGlobal(pos));
}

void ChartExport::askImage(double scale)
{
    const QString path = chooseSaveFile(device.Dialogs(), tr("Save chart image"),
                                        tr("PNG image (*.png);;PDF document (*.pdf)"), QStringLiteral("png"));
    if (path.isEmpty())
        return;
    if (saveImage(path, scale))
        log(QStringLiteral("Chart image saved: ") + path);
    else
        failed(QStringLiteral(QT_TRANSLATE_NOOP("OperatorDialogs", "Error saving image")),
               tr("The chart image could not be saved to %1."), QStringLiteral("The chart image"), path);
}

void ChartExport::askData()
{
    const QString path =
        chooseSaveFile(device.Dialogs(), tr("Save chart data"), tr("CSV files (*.csv)"), QStringLiteral("csv"));
    if (path.isEmpty())
        return;
    if (saveData(path))
        log(QStringLiteral("Chart data saved: ") + path);
    else
        failed(QStringLiteral(QT_TRANSLATE_NOOP("OperatorDialogs", "Error saving data")),
               tr("The chart data could not be saved to %1."), QStringLiteral("The chart data"), path);
}

bool ChartExport::saveImage(const QString &path, double scale)
{
    QCustomPlot *plot = chart->plot();
    // A chart never laid out (its page not yet shown) still gets a page.
    const QSize size = plot->width() > 1 && plot->height() > 1 ? plot->size() : QSize(800, 600);
    if (isPdf(path))
        return plot->savePdf(path, size.width(), size.height());
    return plot->savePng(path, size.width(), size.height(), std::max(1.0, scale));
}

bool ChartExport::saveData(const QString &path)
{
    QCustomPlot *plot = chart->plot();
    QVector<QVector<QCPGraphData>> graphs;
    CsvLine line;
    int rows = 0;
    for (int g = 0; g < plot->graphCount(); ++g) {
        graphs << storedPoints(*chart, g);
        rows = std::max(rows, int(graphs.last().size()));
        // The file's header is English whatever the window shows.
        const QString name = Language::english(plot->graph(g)->name());
        line.addText(name + QStringLiteral(": elapsed / s")).addText(name);
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(line.finish());
    for (int row = 0; row < rows; ++row) {
        line.clear();
        for (const QVector<QCPGraphData> &points : graphs) {
            if (row < points.size())
                line.addNumber(points[row].key, 3).addNumber(points[row].value, CsvLine::ShortestDecimals);
            else
                line.addText(QString()).addText(QString());
        }
        file.write(line.finish());
    }
    return file.commit();
}

void ChartExport::failed(const QString &title, const QString &shown, const QString &what, const QString &path)
{
    log(what + QStringLiteral(" could not be saved to ") + path);
    if (OperatorDialogs *dialogs = device.Dialogs())
        dialogs->warning(title, shown.arg(QDir::toNativeSeparators(path)));
}

void ChartExport::log(const QString &text)
{
    if (logger)
        logger->write(text);
}

#pragma once

#include <qcustomplot.h>

// A chart that draws into images in memory instead of pixmaps. On the
// raster paint engine, which draws every chart on screen, both hold the
// same pixels, drawn the same way, and go on the widget at the same cost;
// but the pixels of an image can be written directly while the chart is
// being drawn, so that graphs drawing many points a pixel column put their
// columns straight into the chart (see paintColumns) rather than through a
// copy blended over it. With OpenGL turned on, the library's own buffers
// are kept.
class LivePlot : public QCustomPlot
{
    Q_OBJECT
public:
    explicit LivePlot(QWidget *parent = nullptr);

private:
    // Puts an image buffer everywhere the next redraw draws into a buffer,
    // before the library would make pixmaps for them.
    void useImageBuffers();
};

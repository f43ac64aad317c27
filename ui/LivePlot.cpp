#include "ui/LivePlot.h"

#include <QAccessibleWidget>

namespace {

class ImagePaintBuffer : public QCPAbstractPaintBuffer
{
public:
    ImagePaintBuffer(const QSize &size, double devicePixelRatio) : QCPAbstractPaintBuffer(size, devicePixelRatio)
    {
        ImagePaintBuffer::reallocateBuffer();
    }

    QCPPainter *startPainting() override { return new QCPPainter(&image); }
    void draw(QCPPainter *painter) const override
    {
        if (painter && painter->isActive())
            painter->drawImage(0, 0, image);
    }
    void clear(const QColor &color) override { image.fill(color); }

protected:
    void reallocateBuffer() override
    {
        setInvalidated();
        image = QImage(mSize * mDevicePixelRatio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(mDevicePixelRatio);
    }

private:
    QImage image;
};

// Assistive technology is told a chart is a chart, not some object.
QAccessibleInterface *chartInterface(const QString &className, QObject *object)
{
    if (className == QLatin1String("LivePlot") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Chart);
    return nullptr;
}

} // namespace

LivePlot::LivePlot(QWidget *parent) : QCustomPlot(parent)
{
    static const bool chartsExposed = (QAccessible::installFactory(chartInterface), true);
    Q_UNUSED(chartsExposed);
    // First of the slots called before a redraw, which draws into the
    // buffers right after them.
    connect(this, &QCustomPlot::beforeReplot, this, &LivePlot::useImageBuffers);
}

void LivePlot::useImageBuffers()
{
    if (openGl())
        return;
    // As many buffers as the library uses: one for the bottom layers, and
    // one for each buffered layer and for the layers above each of those.
    int needed = 1;
    for (int i = 0; i < mLayers.size(); ++i) {
        if (mLayers.at(i)->mode() != QCPLayer::lmBuffered)
            continue;
        ++needed;
        if (i + 1 < mLayers.size() && mLayers.at(i + 1)->mode() == QCPLayer::lmLogical)
            ++needed;
    }
    for (int i = 0; i < needed; ++i) {
        if (i < mPaintBuffers.size() && dynamic_cast<ImagePaintBuffer *>(mPaintBuffers.at(i).data()))
            continue;
        QSharedPointer<QCPAbstractPaintBuffer> buffer(
            new ImagePaintBuffer(viewport().size(), bufferDevicePixelRatio()));
        if (i < mPaintBuffers.size())
            mPaintBuffers[i] = buffer;
        else
            mPaintBuffers.append(buffer);
    }
}

#include "ui/LineColumns.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <tuple>

#include <QPaintEngine>
#include <QPainter>

namespace {

// Columns are put together in blocks: a block that a line covers whole in a
// row is filled at once, one it misses is skipped, the others go pixel by
// pixel, a whole block at a time.
constexpr int BlockWidth = 32;

int wholeBlocks(int columns)
{
    return (columns + BlockWidth - 1) / BlockWidth * BlockWidth;
}

} // namespace

void LineColumns::reset(int width, int height)
{
    columnCount = std::max(0, width);
    top.assign(size_t(wholeBlocks(columnCount)), INT_MAX);
    bottom.assign(size_t(wholeBlocks(columnCount)), INT_MIN);
    rows = std::max(0, height);
    hasPoint = false;
    startRun(-1, 0);
}

int LineColumns::columnOf(double x) const
{
    if (x < 0)
        return -1;
    if (x >= double(columnCount))
        return columnCount;
    return floorToInt(x);
}

void LineColumns::startRun(int column, double y)
{
    runColumn = column;
    const bool onArea = column >= 0 && column < columnCount;
    runLeft = onArea ? double(column) : qQNaN();
    runRight = onArea ? double(column) + 1 : qQNaN();
    runLow = runHigh = y;
    runDrawn = false;
}

void LineColumns::commitRun()
{
    if (runDrawn && runColumn >= 0 && runColumn < columnCount)
        cover(runColumn, runLow, runHigh);
    runDrawn = false;
}

void LineColumns::nextPoint(double x, double y)
{
    if (!std::isfinite(x) || !std::isfinite(y)) {
        endLine();
        return;
    }
    if (!hasPoint) {
        startRun(columnOf(x), y);
        hasPoint = true;
    } else if (columnOf(x) == runColumn) {
        runLow = std::min(runLow, y);
        runHigh = std::max(runHigh, y);
        runDrawn = true;
    } else {
        crossTo(x, y);
    }
    lastX = x;
    lastY = y;
}

void LineColumns::endLine()
{
    if (hasPoint)
        commitRun();
    hasPoint = false;
}

void LineColumns::crossTo(double x, double y)
{
    const int target = columnOf(x);
    // From the last point to the edge of its column...
    const double slope = (y - lastY) / (x - lastX);
    const int step = x > lastX ? 1 : -1;
    const auto at = [&](double edge) { return lastY + slope * (edge - lastX); };
    if (runColumn >= 0 && runColumn < columnCount) {
        const double edge = at(step > 0 ? runRight : runLeft);
        runLow = std::min(runLow, edge);
        runHigh = std::max(runHigh, edge);
        runDrawn = true;
    }
    commitRun();
    // ...over the columns it passes whole...
    for (int c = runColumn + step; c != target; c += step)
        if (c >= 0 && c < columnCount)
            cover(c, std::min(at(c), at(c + 1)), std::max(at(c), at(c + 1)));
    // ...and into the column of the new point.
    startRun(target, y);
    if (target >= 0 && target < columnCount) {
        const double edge = at(step > 0 ? runLeft : runRight);
        runLow = std::min(y, edge);
        runHigh = std::max(y, edge);
        runDrawn = true;
    }
}

bool LineColumns::span(int x, int *first, int *last) const
{
    if (x < 0 || x >= width() || top[size_t(x)] > bottom[size_t(x)])
        return false;
    *first = top[size_t(x)];
    *last = bottom[size_t(x)];
    return true;
}

namespace {

struct BlockBounds
{
    int minTop = INT_MAX, maxTop = INT_MIN, minBottom = INT_MAX, maxBottom = INT_MIN;
};

// The image painter draws on, when area lies in it and a pixel written there
// is what painter would draw with an opaque color: the raster engine, no
// blending, no opacity. Such a painter puts each drawing into the image's
// pixels at once, so that pixels written between its drawings stay in
// order with them.
QImage *directTarget(QPainter &painter, const QRect &area)
{
    QPaintDevice *device = painter.device();
    if (!device || device->devType() != QInternal::Image || !painter.paintEngine() ||
        painter.paintEngine()->type() != QPaintEngine::Raster ||
        painter.compositionMode() != QPainter::CompositionMode_SourceOver || painter.opacity() != 1.0)
        return nullptr;
    auto *image = static_cast<QImage *>(device);
    const QImage::Format format = image->format();
    if ((format != QImage::Format_ARGB32_Premultiplied && format != QImage::Format_RGB32 &&
         format != QImage::Format_ARGB32) ||
        !image->rect().contains(area))
        return nullptr;
    return image;
}

} // namespace

void paintColumns(QPainter &painter, const QPoint &origin, QImage &scratch, const QVector<const LineColumns *> &lines,
                  const QVector<QRgb> &colors)
{
    if (lines.isEmpty() || colors.size() != lines.size())
        return;
    const int width = lines[0]->width(), height = lines[0]->height();
    for (const LineColumns *line : lines)
        if (line->width() != width || line->height() != height)
            return;

    // The columns the lines cover at all.
    int left = width, right = -1;
    for (const LineColumns *line : lines) {
        for (int x = 0; x < width; ++x) {
            if (line->top[size_t(x)] > line->bottom[size_t(x)])
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
        }
    }
    if (right < left)
        return;
    // Mixed rows go straight into the painter's image where it has one that
    // takes opaque colors as they are; elsewhere they are put together in
    // the scratch image, then copied over what lies below.
    QImage *direct = directTarget(painter, QRect(origin, QSize(width, height)));
    if (!direct && (scratch.width() < wholeBlocks(width) || scratch.height() < height ||
                    scratch.format() != QImage::Format_ARGB32_Premultiplied || scratch.devicePixelRatio() != 1.0))
        scratch = QImage(wholeBlocks(width), height, QImage::Format_ARGB32_Premultiplied);
    if (!direct && scratch.isNull())
        return;

    // Blocks start at multiples of the block width; only the columns from
    // left to right count (and are painted), but a mixed block is gone
    // through whole, the columns beyond the area being empty.
    const int first = left / BlockWidth * BlockWidth, blocks = right / BlockWidth - left / BlockWidth + 1;
    const auto blockAt = [first](int k) { return first + k * BlockWidth; };
    const auto blockStart = [left, &blockAt](int k) { return std::max(left, blockAt(k)); };
    const auto blockEnd = [right, &blockAt](int k) { return std::min(blockAt(k) + BlockWidth, right + 1); };
    std::vector<BlockBounds> bounds(size_t(lines.size()) * size_t(blocks));
    for (int g = 0; g < lines.size(); ++g) {
        for (int x = left; x <= right; ++x) {
            BlockBounds &b = bounds[size_t(g) * size_t(blocks) + size_t((x - first) / BlockWidth)];
            const int t = lines[g]->top[size_t(x)], d = lines[g]->bottom[size_t(x)];
            b.maxTop = std::max(b.maxTop, t);
            b.minBottom = std::min(b.minBottom, d);
            if (t > d)
                continue;
            b.minTop = std::min(b.minTop, t);
            b.maxBottom = std::max(b.maxBottom, d);
        }
    }

    // Each block goes down its rows: it is clear, covered whole by one line
    // or mixed, and that changes only at rows where one of its bounds
    // begins or ends. A stretch of rows where it is covered whole is one
    // rectangle; mixed rows are put together pixel by pixel in the scratch
    // image and copied from there; clear rows are left alone. Rectangles and
    // copies of blocks next to each other over the same rows are merged, so
    // the inside of a line costs little more than filling it.
    struct Piece
    {
        int top, bottom, left, right; // rows and columns, ends excluded
        int line;                     // the line filling it, or -1: copied from the image
    };
    std::vector<Piece> pieces;
    std::vector<int> changes;
    const int lineCount = int(lines.size());
    for (int k = 0; k < blocks; ++k) {
        changes.clear();
        int blockUp = height, blockDown = -1;
        for (int g = 0; g < lineCount; ++g) {
            const BlockBounds &b = bounds[size_t(g) * size_t(blocks) + size_t(k)];
            if (b.minTop > b.maxBottom)
                continue;
            blockUp = std::min(blockUp, b.minTop);
            blockDown = std::max(blockDown, b.maxBottom);
            for (const int row : {b.minTop, b.maxBottom + 1, b.maxTop, b.minBottom + 1})
                changes.push_back(row);
        }
        if (blockDown < blockUp)
            continue;
        changes.push_back(blockUp);
        changes.push_back(blockDown + 1);
        std::sort(changes.begin(), changes.end());
        changes.erase(std::unique(changes.begin(), changes.end()), changes.end());

        // The stretch of rows going on, and how it is painted (-2: left clear).
        int pieceFrom = -1, pieceLine = -2;
        const auto endPiece = [&](int row) {
            if (pieceFrom >= 0 && pieceLine != -2)
                pieces.push_back({pieceFrom, row, blockStart(k), blockEnd(k), pieceLine});
            pieceFrom = -1;
            pieceLine = -2;
        };
        for (size_t i = 0; i + 1 < changes.size(); ++i) {
            const int from = changes[i], to = changes[i + 1];
            if (from < blockUp || from > blockDown)
                continue;
            // The line on top that covers the block whole, unless one above
            // it covers part of it.
            int whole = -2; // none touches it
            for (int g = lineCount - 1; g >= 0; --g) {
                const BlockBounds &b = bounds[size_t(g) * size_t(blocks) + size_t(k)];
                if (from < b.minTop || from > b.maxBottom)
                    continue;
                whole = from >= b.maxTop && from <= b.minBottom ? g : -1;
                break;
            }
            if (whole != -1) {
                // Clear (-2) or filled by a line.
                if (pieceLine != whole) {
                    endPiece(from);
                    pieceFrom = from;
                    pieceLine = whole;
                }
                continue;
            }
            if (direct) {
                // Each line's columns down their rows, the line on top last:
                // the cost is that of what the lines cover. The pixels are
                // those the painter took when it began to draw on the image
                // (without the copy bits() would make of an image shared
                // since).
                endPiece(from);
                const qsizetype stride = direct->bytesPerLine() / qsizetype(sizeof(QRgb));
                QRgb *corner = reinterpret_cast<QRgb *>(const_cast<uchar *>(direct->constBits())) +
                               (origin.y() + from) * stride + origin.x();
                const int x0 = blockStart(k), x1 = blockEnd(k);
                const auto fill = [&](int x, int first, int last, QRgb color) {
                    QRgb *pixel = corner + (first - from) * stride + x;
                    for (int y = first; y <= last; ++y, pixel += stride)
                        *pixel = color;
                };
                for (int g = 0; g < lineCount; ++g) {
                    const BlockBounds &b = bounds[size_t(g) * size_t(blocks) + size_t(k)];
                    if (to <= b.minTop || from > b.maxBottom)
                        continue;
                    const int *tops = lines[g]->top.data(), *bottoms = lines[g]->bottom.data();
                    const QRgb color = colors[g];
                    for (int x = x0; x < x1; ++x) {
                        const int first = std::max(from, tops[x]), last = std::min(to - 1, bottoms[x]);
                        if (first > last)
                            continue;
                        // Lines often run one over another: the rows of the
                        // line above that hides the most of this one are
                        // left out, the lines above are drawn over the rest.
                        int hiddenFrom = last + 1, hiddenTo = last, hidden = 0;
                        for (int above = g + 1; above < lineCount; ++above) {
                            const int t = std::max(first, lines[above]->top[size_t(x)]),
                                      d = std::min(last, lines[above]->bottom[size_t(x)]);
                            if (t <= d && d - t + 1 > hidden) {
                                hidden = d - t + 1;
                                hiddenFrom = t;
                                hiddenTo = d;
                            }
                        }
                        if (first < hiddenFrom)
                            fill(x, first, hiddenFrom - 1, color);
                        if (hiddenTo < last)
                            fill(x, std::max(first, hiddenTo + 1), last, color);
                    }
                }
                continue;
            }
            if (pieceLine != -1) {
                endPiece(from);
                pieceFrom = from;
                pieceLine = -1;
            }
            // Cleared, then each line's columns down their rows, the line on
            // top first: the cost is that of what the lines cover.
            const qsizetype stride = scratch.bytesPerLine() / qsizetype(sizeof(QRgb));
            QRgb *cell = reinterpret_cast<QRgb *>(scratch.scanLine(from)) + blockAt(k);
            for (int y = from; y < to; ++y)
                std::memset(cell + (y - from) * stride, 0, BlockWidth * sizeof(QRgb));
            for (int g = lineCount - 1; g >= 0; --g) {
                const BlockBounds &b = bounds[size_t(g) * size_t(blocks) + size_t(k)];
                if (to <= b.minTop || from > b.maxBottom)
                    continue;
                const int *tops = lines[g]->top.data() + blockAt(k), *bottoms = lines[g]->bottom.data() + blockAt(k);
                for (int x = 0; x < BlockWidth; ++x) {
                    const int last = std::min(to - 1, bottoms[x]);
                    QRgb *pixel = cell + (std::max(from, tops[x]) - from) * stride + x;
                    for (int y = std::max(from, tops[x]); y <= last; ++y, pixel += stride)
                        if (*pixel == 0)
                            *pixel = colors[g];
                }
            }
        }
        endPiece(blockDown + 1);
    }

    // Pieces over the same rows, painted the same way, side by side: one.
    std::sort(pieces.begin(), pieces.end(), [](const Piece &a, const Piece &b) {
        return std::tie(a.top, a.bottom, a.line, a.left) < std::tie(b.top, b.bottom, b.line, b.left);
    });
    // Pieces never overlap: the rectangles of each line in one go.
    std::vector<QVector<QRect>> fills(static_cast<size_t>(lineCount));
    for (size_t i = 0; i < pieces.size();) {
        Piece merged = pieces[i];
        size_t next = i + 1;
        while (next < pieces.size() && pieces[next].top == merged.top && pieces[next].bottom == merged.bottom &&
               pieces[next].line == merged.line && pieces[next].left == merged.right)
            merged.right = pieces[next++].right;
        const QRect area(merged.left, merged.top, merged.right - merged.left, merged.bottom - merged.top);
        if (merged.line >= 0)
            fills[size_t(merged.line)].append(area.translated(origin));
        else
            painter.drawImage(area.topLeft() + origin, scratch, area);
        i = next;
    }
    painter.save();
    painter.setPen(Qt::NoPen);
    for (int g = 0; g < lineCount; ++g) {
        if (fills[size_t(g)].isEmpty())
            continue;
        painter.setBrush(QColor::fromRgba(colors[g]));
        painter.drawRects(fills[size_t(g)].constData(), fills[size_t(g)].size());
    }
    painter.restore();
}

#include "ui/LineColumns.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

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
    if (target == runColumn + 1 || target == runColumn - 1) {
        // Into the next column: the segment crosses the edge between them
        // about halfway.
        const double middle = (lastY + y) / 2;
        runLow = std::min(runLow, middle);
        runHigh = std::max(runHigh, middle);
        runDrawn = true;
        commitRun();
        startRun(target, y);
        runLow = std::min(y, middle);
        runHigh = std::max(y, middle);
        runDrawn = true;
        return;
    }
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

enum BlockState : unsigned char { Untouched, Partly, Whole };

// The pixels from to to of row y that the line covers and no line above
// has painted yet (still 0); without branches, so that it runs on whole
// vectors of pixels.
void paintMixed(QRgb *__restrict row, const int *__restrict tops, const int *__restrict bottoms, int y, QRgb color)
{
    for (int x = 0; x < BlockWidth; ++x) {
        const bool paint = (row[x] == 0) & (tops[x] <= y) & (y <= bottoms[x]);
        row[x] = paint ? color : row[x];
    }
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

    // What the lines cover at all.
    int left = width, right = -1, up = height, down = -1;
    for (const LineColumns *line : lines) {
        for (int x = 0; x < width; ++x) {
            if (line->top[size_t(x)] > line->bottom[size_t(x)])
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            up = std::min(up, line->top[size_t(x)]);
            down = std::max(down, line->bottom[size_t(x)]);
        }
    }
    if (right < left)
        return;
    if (scratch.width() < wholeBlocks(width) || scratch.height() < height ||
        scratch.format() != QImage::Format_ARGB32_Premultiplied || scratch.devicePixelRatio() != 1.0)
        scratch = QImage(wholeBlocks(width), height, QImage::Format_ARGB32_Premultiplied);
    if (scratch.isNull())
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

    // Rows of each color, to copy blocks from.
    std::vector<QRgb> solid(size_t(lines.size()) * size_t(width));
    for (int g = 0; g < lines.size(); ++g)
        std::fill(solid.begin() + g * width, solid.begin() + (g + 1) * width, colors[g]);

    // A row is made of blocks a line covers whole, blocks no line touches,
    // and mixed blocks. Rows without mixed blocks are filled as rectangles,
    // as many rows alike as there are at once: the inside of the lines
    // costs little more than clearing it. Rows with mixed blocks are put
    // together pixel by pixel in the scratch image and copied from there.
    constexpr int Clear = -1, Mixed = -2;
    std::vector<int> code(static_cast<size_t>(blocks)), stretchCode;
    std::vector<unsigned char> state(static_cast<size_t>(blocks));
    // Sorts the blocks of row y; with the row given, it also paints the
    // mixed blocks into it, else it stops at the first mixed block. True if
    // there is one.
    const auto sortBlocks = [&](int y, QRgb *row) {
        std::fill(state.begin(), state.end(), Untouched);
        std::fill(code.begin(), code.end(), Clear);
        bool mixed = false;
        int whole = 0;
        // The line on top first: what it covers is not painted again.
        for (int g = int(lines.size()) - 1; g >= 0 && whole < blocks; --g) {
            const QRgb color = colors[g];
            const int *tops = lines[g]->top.data(), *bottoms = lines[g]->bottom.data();
            const BlockBounds *lineBounds = bounds.data() + size_t(g) * size_t(blocks);
            for (int k = 0; k < blocks; ++k) {
                const BlockBounds &b = lineBounds[k];
                if (state[size_t(k)] == Whole || y < b.minTop || y > b.maxBottom)
                    continue;
                const bool covered = y >= b.maxTop && y <= b.minBottom;
                if (state[size_t(k)] == Untouched) {
                    if (covered) {
                        state[size_t(k)] = Whole;
                        code[size_t(k)] = g;
                        ++whole;
                        continue;
                    }
                    if (!row)
                        return true;
                    state[size_t(k)] = Partly;
                    code[size_t(k)] = Mixed;
                    mixed = true;
                    std::memset(row + blockAt(k), 0, BlockWidth * sizeof(QRgb));
                }
                paintMixed(row + blockAt(k), tops + blockAt(k), bottoms + blockAt(k), y, color);
                if (covered) {
                    state[size_t(k)] = Whole;
                    ++whole;
                }
            }
        }
        return mixed;
    };

    // The blocks of a row change only at rows where a block's bounds begin
    // or end: between them, rows without mixed blocks are all alike.
    std::vector<int> changes{up, down + 1};
    for (const BlockBounds &b : bounds) {
        if (b.minTop > b.maxBottom)
            continue;
        for (const int row : {b.minTop, b.maxBottom + 1, b.maxTop, b.minBottom + 1})
            if (row > up && row <= down)
                changes.push_back(row);
    }
    std::sort(changes.begin(), changes.end());
    changes.erase(std::unique(changes.begin(), changes.end()), changes.end());

    int stretchFrom = -1, imageFrom = -1; // first rows of the pending stretches
    const auto fillStretch = [&](int end) {
        if (stretchFrom < 0)
            return;
        for (int k = 0; k < blocks;) {
            const int g = stretchCode[size_t(k)];
            int next = k + 1;
            while (next < blocks && stretchCode[size_t(next)] == g)
                ++next;
            if (g >= 0)
                painter.fillRect(QRect(origin.x() + blockStart(k), origin.y() + stretchFrom,
                                       blockEnd(next - 1) - blockStart(k), end - stretchFrom),
                                 QColor::fromRgba(colors[g]));
            k = next;
        }
        stretchFrom = -1;
    };
    const auto copyImage = [&](int end) {
        if (imageFrom < 0)
            return;
        painter.drawImage(QPoint(origin.x() + left, origin.y() + imageFrom), scratch,
                          QRect(left, imageFrom, right - left + 1, end - imageFrom));
        imageFrom = -1;
    };

    for (size_t i = 0; i + 1 < changes.size(); ++i) {
        const int from = changes[i], to = changes[i + 1];
        if (!sortBlocks(from, nullptr)) {
            copyImage(from);
            if (stretchFrom >= 0 && code != stretchCode)
                fillStretch(from);
            if (stretchFrom < 0) {
                stretchFrom = from;
                stretchCode = code;
            }
            continue;
        }
        fillStretch(from);
        if (imageFrom < 0)
            imageFrom = from;
        for (int y = from; y < to; ++y) {
            auto *row = reinterpret_cast<QRgb *>(scratch.scanLine(y));
            sortBlocks(y, row);
            // The rest of the row into the image too.
            for (int k = 0; k < blocks; ++k) {
                const int c = code[size_t(k)];
                if (c == Clear)
                    std::memset(row + blockStart(k), 0, size_t(blockEnd(k) - blockStart(k)) * sizeof(QRgb));
                else if (c >= 0)
                    std::memcpy(row + blockStart(k), solid.data() + size_t(c) * size_t(width) + size_t(blockStart(k)),
                                size_t(blockEnd(k) - blockStart(k)) * sizeof(QRgb));
            }
        }
    }
    fillStretch(down + 1);
    copyImage(down + 1);
}

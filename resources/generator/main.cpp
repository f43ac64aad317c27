// Draws the tool's pictures: the window icon, the two logos of the About page,
// the wiring diagram of the Connection diagrams page, the chopper timing
// picture of the advanced driver setup and the application icon of the
// desktop menu at the sizes of the icon theme. Usage:
//   draw_pictures <resources directory>
#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>
#include <QtMath>

#include <cmath>

namespace {

const QColor Navy(0x17, 0x35, 0x63);
const QColor Orange(0xE8, 0x73, 0x1C);
const QColor Ink(0x33, 0x33, 0x33);
const QColor Board(0x1E, 0x6B, 0x45);
const QColor BoardEdge(0x13, 0x4A, 0x2F);
const QColor Pad(0xD8, 0xA5, 0x24);
const QColor WireRed(0xD3, 0x2F, 0x2F);
const QColor WireBlack(0x21, 0x21, 0x21);
const QColor WireA1(0x15, 0x65, 0xC0);
const QColor WireA2(0x00, 0x89, 0x7B);
const QColor WireB1(0xEF, 0x6C, 0x00);
const QColor WireB2(0x8E, 0x24, 0xAA);

QFont font(int pixelSize, bool bold = false)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

void prepare(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
}

// The emblem: a rotor in a stator ring with an orange arrow of rotation.
void drawEmblem(QPainter &p, QPointF c, double r)
{
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(Navy);
    p.drawEllipse(c, r, r);
    p.setBrush(Qt::white);
    p.drawEllipse(c, r * 0.80, r * 0.80);
    // Stator teeth.
    p.setBrush(Navy);
    for (int i = 0; i < 8; ++i) {
        p.save();
        p.translate(c);
        p.rotate(i * 45.0);
        p.drawRoundedRect(QRectF(-r * 0.09, -r * 0.80, r * 0.18, r * 0.24), r * 0.03, r * 0.03);
        p.restore();
    }
    // Rotor with a shaft.
    p.setBrush(Orange);
    p.drawEllipse(c, r * 0.36, r * 0.36);
    p.setBrush(Qt::white);
    p.drawEllipse(c, r * 0.11, r * 0.11);
    // Arrow of rotation outside the ring.
    QPen arc(Orange, r * 0.10, Qt::SolidLine, Qt::RoundCap);
    p.setPen(arc);
    p.setBrush(Qt::NoBrush);
    const QRectF ring(c.x() - r * 1.18, c.y() - r * 1.18, r * 2.36, r * 2.36);
    p.drawArc(ring, 20 * 16, 70 * 16);
    const double a = qDegreesToRadians(90.0);
    const QPointF tip(c.x() + r * 1.18 * std::cos(a), c.y() - r * 1.18 * std::sin(a));
    QPainterPath head;
    head.moveTo(tip + QPointF(-r * 0.26, 0));
    head.lineTo(tip + QPointF(r * 0.06, -r * 0.20));
    head.lineTo(tip + QPointF(r * 0.06, r * 0.20));
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Orange);
    p.drawPath(head);
    p.restore();
}

QImage drawLogo(bool withTagline)
{
    QImage image(1000, 400, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    prepare(p);
    drawEmblem(p, QPointF(190, 200), 120);

    p.setPen(Navy);
    // The word mark as large as fits beside the emblem.
    QFont word = font(150, true);
    while (QFontMetricsF(word).horizontalAdvance(QStringLiteral("TORVAN")) > 600)
        word.setPixelSize(word.pixelSize() - 2);
    p.setFont(word);
    p.drawText(QRectF(360, 60, 640, 170), Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("TORVAN"));
    p.setPen(Orange);
    QFont drives = font(62, true);
    drives.setLetterSpacing(QFont::AbsoluteSpacing, 22);
    p.setFont(drives);
    p.drawText(QRectF(366, 232, 640, 80), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("DRIVES"));
    if (withTagline) {
        p.setPen(Ink);
        p.setFont(font(34));
        p.drawText(QRectF(368, 312, 640, 50), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("Stepper and DC motor drivers"));
    }
    return image;
}

QImage drawIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    prepare(p);
    const double s = size;
    p.setPen(Qt::NoPen);
    p.setBrush(Navy);
    p.drawRoundedRect(QRectF(s * 0.03, s * 0.03, s * 0.94, s * 0.94), s * 0.18, s * 0.18);
    // A white "T" over an orange rotor.
    p.setBrush(Orange);
    p.drawEllipse(QPointF(s * 0.5, s * 0.60), s * 0.25, s * 0.25);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(s * 0.20, s * 0.18, s * 0.60, s * 0.15));
    p.drawRect(QRectF(s * 0.425, s * 0.18, s * 0.15, s * 0.62));
    return image;
}

// ---- Wiring diagram -------------------------------------------------------

void wire(QPainter &p, const QColor &colour, QPointF from, QPointF to)
{
    p.save();
    p.setPen(QPen(colour, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawLine(from, to);
    p.restore();
}

void pad(QPainter &p, QPointF c)
{
    p.save();
    p.setPen(QPen(BoardEdge, 1));
    p.setBrush(Pad);
    p.drawEllipse(c, 4.5, 4.5);
    p.restore();
}

void text(QPainter &p, const QRectF &box, int flags, const QString &s, const QFont &f, const QColor &c = Ink)
{
    p.save();
    p.setFont(f);
    p.setPen(c);
    p.drawText(box, flags, s);
    p.restore();
}

// An inductor: four bumps between a and b along a vertical line.
void coil(QPainter &p, QPointF a, QPointF b, const QColor &colour)
{
    p.save();
    p.setPen(QPen(colour, 2.2));
    p.setBrush(Qt::NoBrush);
    const double h = (b.y() - a.y()) / 4.0;
    QPainterPath path(a);
    for (int i = 0; i < 4; ++i) {
        const double y = a.y() + i * h;
        path.cubicTo(QPointF(a.x() + 11, y), QPointF(a.x() + 11, y + h), QPointF(a.x(), y + h));
    }
    p.drawPath(path);
    p.restore();
}

void motorCircle(QPainter &p, QPointF c, double r, const QString &label)
{
    p.save();
    p.setPen(QPen(Ink, 1.8));
    p.setBrush(QColor(0xF3, 0xF5, 0xF8));
    p.drawEllipse(c, r, r);
    p.restore();
    text(p, QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), Qt::AlignCenter, label, font(12, true));
}

QImage drawConnectionDiagram()
{
    QImage image(635, 461, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter p(&image);
    prepare(p);

    text(p, QRectF(16, 8, 600, 26), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Torvan60 connection diagram"),
         font(16, true), Navy);

    // The board.
    const QRectF board(225, 104, 190, 180);
    p.setPen(QPen(BoardEdge, 2));
    p.setBrush(Board);
    p.drawRoundedRect(board, 8, 8);
    text(p, QRectF(board.left(), board.top() + 62, board.width(), 26), Qt::AlignCenter, QStringLiteral("Torvan60"),
         font(20, true), Qt::white);
    text(p, QRectF(board.left(), board.top() + 88, board.width(), 18), Qt::AlignCenter, QStringLiteral("motor driver"),
         font(11), QColor(0xDD, 0xEE, 0xE4));

    // USB to the PC.
    p.setPen(QPen(Ink, 1.2));
    p.setBrush(QColor(0xB0, 0xB6, 0xBE));
    p.drawRect(QRectF(304, 94, 32, 12));
    wire(p, Ink, QPointF(320, 94), QPointF(320, 62));
    text(p, QRectF(250, 40, 140, 20), Qt::AlignCenter, QStringLiteral("USB to PC"), font(12, true));

    // Supply on the left.
    const QRectF supply(24, 118, 112, 78);
    p.setPen(QPen(Ink, 1.8));
    p.setBrush(QColor(0xFF, 0xF4, 0xE5));
    p.drawRoundedRect(supply, 6, 6);
    text(p, supply.adjusted(0, 8, 0, -40), Qt::AlignCenter, QStringLiteral("DC supply"), font(13, true));
    text(p, supply.adjusted(0, 36, 0, -8), Qt::AlignCenter, QStringLiteral("8 V or more"), font(11));
    text(p, QRectF(138, 124, 16, 16), Qt::AlignCenter, QStringLiteral("+"), font(14, true), WireRed);
    text(p, QRectF(138, 170, 16, 16), Qt::AlignCenter, QStringLiteral("\u2212"), font(14, true), WireBlack);
    wire(p, WireRed, QPointF(136, 146), QPointF(225, 146));
    wire(p, WireBlack, QPointF(136, 176), QPointF(225, 176));
    pad(p, QPointF(225, 146));
    pad(p, QPointF(225, 176));
    text(p, QRectF(232, 138, 60, 16), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("VM+"), font(11, true),
         Qt::white);
    text(p, QRectF(232, 168, 60, 16), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("GND"), font(11, true),
         Qt::white);

    // Outputs A and B on the right, to the two coils of a stepper motor.
    struct Output
    {
        const char *name;
        double y;
        QColor colour;
    };
    const Output outputs[4] = {{"A1", 128, WireA1}, {"A2", 160, WireA2}, {"B1", 204, WireB1}, {"B2", 236, WireB2}};
    const double coilX = 520;
    for (const Output &o : outputs) {
        pad(p, QPointF(415, o.y));
        text(p, QRectF(380, o.y - 8, 28, 16), Qt::AlignRight | Qt::AlignVCenter, QString::fromLatin1(o.name),
             font(11, true), Qt::white);
        wire(p, o.colour, QPointF(415, o.y), QPointF(coilX, o.y));
    }
    const QRectF motor(470, 100, 148, 158);
    p.setPen(QPen(Ink, 1.8, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(motor, 10, 10);
    text(p, QRectF(motor.left(), motor.top() - 20, motor.width(), 18), Qt::AlignCenter, QStringLiteral("Stepper motor"),
         font(12, true));
    coil(p, QPointF(coilX, 128), QPointF(coilX, 160), WireA1);
    coil(p, QPointF(coilX, 204), QPointF(coilX, 236), WireB1);
    text(p, QRectF(coilX + 18, 134, 80, 20), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("coil A"), font(12));
    text(p, QRectF(coilX + 18, 210, 80, 20), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("coil B"), font(12));

    // Or two DC motors on the same outputs.
    const QRectF dc(452, 290, 166, 118);
    p.setPen(QPen(QColor(0x9E, 0x9E, 0x9E), 1.2));
    p.setBrush(QColor(0xF7, 0xF7, 0xF7));
    p.drawRoundedRect(dc, 8, 8);
    text(p, QRectF(dc.left(), dc.top() + 4, dc.width(), 18), Qt::AlignCenter, QStringLiteral("or, in DC motor mode:"),
         font(11, true));
    const struct
    {
        double x;
        const char *label, *lead1, *lead2;
        QColor c1, c2;
    } dcMotors[2] = {{493, "M1", "A1", "A2", WireA1, WireA2}, {577, "M2", "B1", "B2", WireB1, WireB2}};
    for (const auto &m : dcMotors) {
        wire(p, m.c1, QPointF(m.x - 12, 340), QPointF(m.x - 12, 362));
        wire(p, m.c2, QPointF(m.x + 12, 340), QPointF(m.x + 12, 362));
        motorCircle(p, QPointF(m.x, 362), 20, QString::fromLatin1(m.label));
        text(p, QRectF(m.x - 34, 318, 34, 18), Qt::AlignRight | Qt::AlignVCenter, QString::fromLatin1(m.lead1),
             font(10, true), m.c1);
        text(p, QRectF(m.x + 2, 318, 34, 18), Qt::AlignLeft | Qt::AlignVCenter, QString::fromLatin1(m.lead2),
             font(10, true), m.c2);
    }

    // The input connector along the bottom edge.
    const char *const inputs[8] = {"BOOT", "EN/SLEEP", "STEP/AIN1", "DIR/AIN2", "BIN1", "BIN2", "END SW", "GND"};
    for (int i = 0; i < 8; ++i) {
        const double x = 238 + i * 23.5;
        pad(p, QPointF(x, 284));
        wire(p, i == 7 ? WireBlack : Ink, QPointF(x, 284), QPointF(x, 318));
        p.save();
        p.translate(x + 4, 322);
        p.rotate(90);
        text(p, QRectF(0, 0, 110, 12), Qt::AlignLeft | Qt::AlignVCenter, QString::fromLatin1(inputs[i]),
             font(10, true));
        p.restore();
    }

    // What each input is for.
    const QRectF legend(16, 228, 196, 214);
    p.setPen(QPen(QColor(0x9E, 0x9E, 0x9E), 1.2));
    p.setBrush(QColor(0xF7, 0xF7, 0xF7));
    p.drawRoundedRect(legend, 8, 8);
    text(p, QRectF(legend.left() + 10, legend.top() + 6, legend.width() - 20, 18), Qt::AlignLeft | Qt::AlignVCenter,
         QStringLiteral("Inputs"), font(12, true), Navy);
    const char *const meanings[8][2] = {
        {"BOOT", "boot loader override"},    {"EN/SLEEP", "enable axis"},   {"STEP/AIN1", "step in (AIN1)"},
        {"DIR/AIN2", "direction in (AIN2)"}, {"BIN1", "external button 1"}, {"BIN2", "external button 2"},
        {"END SW", "end switch, Run/Stop"},  {"GND", "signal ground"},
    };
    for (int i = 0; i < 8; ++i) {
        const double y = legend.top() + 30 + i * 22;
        text(p, QRectF(legend.left() + 10, y, 74, 18), Qt::AlignLeft | Qt::AlignVCenter,
             QString::fromLatin1(meanings[i][0]), font(10, true));
        text(p, QRectF(legend.left() + 84, y, 110, 18), Qt::AlignLeft | Qt::AlignVCenter,
             QString::fromLatin1(meanings[i][1]), font(10));
    }
    return image;
}

// A dimension line with arrow heads from x0 to x1 at height y.
void span(QPainter &p, double x0, double x1, double y, const QColor &colour)
{
    p.save();
    p.setPen(QPen(colour, 2));
    p.setBrush(colour);
    p.drawLine(QPointF(x0, y), QPointF(x1, y));
    for (const auto &end : {std::pair<double, double>{x0, 1}, std::pair<double, double>{x1, -1}}) {
        QPolygonF head;
        head << QPointF(end.first, y) << QPointF(end.first + end.second * 8, y - 4)
             << QPointF(end.first + end.second * 8, y + 4);
        p.drawPolygon(head);
    }
    p.restore();
}

// One chopping cycle of the motor current: the on time starts with the
// blanking time, the off time starts with the mixed decay time. Below it the
// four names stand in four equal columns, over the labels the tool puts under
// the picture.
QImage drawTimingDiagram()
{
    const int width = 640;
    QImage image(width, 210, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter p(&image);
    prepare(p);

    const QColor on = WireA1;
    const QColor blank = WireB1;
    const QColor off = WireA2;
    const QColor decay = WireB2;
    const double left = 30;
    const double onEnd = 250;
    const double blankEnd = 110;
    const double decayEnd = 370;
    const double right = 600;
    const double trip = 40;
    const double valley = 105;
    const double base = 140;

    // Axes and the trip level.
    p.setPen(QPen(Ink, 1.5));
    p.drawLine(QPointF(left - 12, base), QPointF(width - 14, base));
    p.drawLine(QPointF(left - 12, base), QPointF(left - 12, 14));
    p.setPen(QPen(Ink, 1, Qt::DashLine));
    p.drawLine(QPointF(left - 12, trip), QPointF(width - 14, trip));
    text(p, QRectF(left - 8, 14, 200, 20), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("I trip"), font(12));

    // Blanking window at the start of the on time.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(blank.red(), blank.green(), blank.blue(), 45));
    p.drawRect(QRectF(left, trip - 8, blankEnd - left, base - trip + 8));

    // The current: rising while on, falling fast in mixed decay, slowly after.
    QPainterPath current(QPointF(left, valley));
    current.lineTo(onEnd, trip);
    QPainterPath fast(QPointF(onEnd, trip));
    fast.lineTo(decayEnd, 85);
    QPainterPath slow(QPointF(decayEnd, 85));
    slow.lineTo(right, valley);
    slow.lineTo(width - 20, 80);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(on, 3.5, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(current);
    p.setPen(QPen(decay, 3.5, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(fast);
    p.setPen(QPen(off, 3.5, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(slow);

    // The four times.
    span(p, left, onEnd, 156, on);
    span(p, left, blankEnd, 122, blank);
    span(p, onEnd, right, 156, off);
    span(p, onEnd, decayEnd, 122, decay);

    const QString names[4] = {QStringLiteral("Ton"), QStringLiteral("Tblank"), QStringLiteral("Toff"),
                              QStringLiteral("Tdecay")};
    const QColor colours[4] = {on, blank, off, decay};
    const double column = width / 4.0;
    for (int i = 0; i < 4; ++i) {
        const QRectF cell(i * column, 172, column, 30);
        p.setPen(Qt::NoPen);
        p.setBrush(colours[i]);
        p.drawRoundedRect(QRectF(cell.center().x() - 44, cell.center().y() - 6, 12, 12), 2, 2);
        text(p, cell.adjusted(20, 0, 0, 0), Qt::AlignCenter, names[i], font(14, true), Ink);
    }
    return image;
}

bool save(const QImage &image, const QString &path, const char *format)
{
    QImageWriter writer(path, format);
    if (!writer.write(image)) {
        QTextStream(stderr) << "Cannot write " << path << ": " << writer.errorString() << "\n";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "Usage: draw_pictures <resources directory>\n";
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    out.mkpath(QStringLiteral("release"));
    bool ok = true;
    ok &= save(drawIcon(64), out.filePath(QStringLiteral("Torvan-IFU-Graphics2.ico")), "ico");
    ok &= save(drawLogo(false), out.filePath(QStringLiteral("release/TorvanLogo.png")), "png");
    ok &= save(drawLogo(true), out.filePath(QStringLiteral("release/Logo.png")), "png");
    ok &= save(drawConnectionDiagram(), out.filePath(QStringLiteral("release/Connection diagram.png")), "png");
    ok &= save(drawTimingDiagram(), out.filePath(QStringLiteral("release/Driver timing.png")), "png");
    // The same icon, drawn at each size rather than scaled, for the menu.
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString dir = QStringLiteral("icons/hicolor/%1x%1/apps").arg(size);
        out.mkpath(dir);
        ok &= save(drawIcon(size), out.filePath(dir + QStringLiteral("/torvan60.png")), "png");
    }
    return ok ? 0 : 1;
}

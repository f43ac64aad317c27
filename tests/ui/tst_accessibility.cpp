// The window as assistive technology and the keyboard reach it: every widget
// exposed with the role of its kind and a name, every control reachable by
// Tab.
#include "WindowRig.h"

#include "service/BoardService.h"
#include "support/TestWallClock.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QGroupBox>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QMetaEnum>
#include <QPointer>
#include <QSettings>
#include <QtTest>

#include <vector>

namespace {

bool showsPicture(const QLabel *label)
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    return !label->pixmap(Qt::ReturnByValue).isNull();
#else
    return !label->pixmap().isNull();
#endif
}

// The role each kind of widget of the window is exposed with. A widget
// built inside a parent that was disabled at that moment is exposed as a
// plain widget (Client) whatever its kind, for as long as it lives.
QAccessible::Role expectedRole(const QWidget *widget, bool *known)
{
    static const QHash<QString, QAccessible::Role> roles = {
        {QStringLiteral("QWidget"), QAccessible::Client},
        {QStringLiteral("QTabWidget"), QAccessible::Client},
        {QStringLiteral("QFrame"), QAccessible::Border},
        {QStringLiteral("QGroupBox"), QAccessible::Grouping},
        {QStringLiteral("QLabel"), QAccessible::StaticText},
        {QStringLiteral("QLCDNumber"), QAccessible::StaticText},
        {QStringLiteral("QPushButton"), QAccessible::Button},
        {QStringLiteral("QToolButton"), QAccessible::Button},
        {QStringLiteral("QCheckBox"), QAccessible::CheckBox},
        {QStringLiteral("QRadioButton"), QAccessible::RadioButton},
        {QStringLiteral("QSpinBox"), QAccessible::SpinBox},
        {QStringLiteral("QDoubleSpinBox"), QAccessible::SpinBox},
        {QStringLiteral("QSlider"), QAccessible::Slider},
        {QStringLiteral("QDial"), QAccessible::Dial},
        {QStringLiteral("QComboBox"), QAccessible::ComboBox},
        {QStringLiteral("QLineEdit"), QAccessible::EditableText},
        {QStringLiteral("QPlainTextEdit"), QAccessible::EditableText},
        {QStringLiteral("QProgressBar"), QAccessible::ProgressBar},
        {QStringLiteral("QTreeWidget"), QAccessible::Tree},
        {QStringLiteral("QListWidget"), QAccessible::List},
        {QStringLiteral("LivePlot"), QAccessible::Chart},
        {QStringLiteral("QTableWidget"), QAccessible::Table},
        {QStringLiteral("SettingsCompareDialog"), QAccessible::Dialog},
    };
    const QString kind = QString::fromLatin1(widget->metaObject()->className());
    *known = roles.contains(kind);
    QAccessible::Role role = roles.value(kind, QAccessible::NoRole);
    // A button that stays down, and a group with a box to tick, are
    // exposed as check boxes; a label showing a picture as a graphic.
    if (const auto *button = qobject_cast<const QAbstractButton *>(widget); button && button->isCheckable())
        role = role == QAccessible::Button ? QAccessible::CheckBox : role;
    if (const auto *group = qobject_cast<const QGroupBox *>(widget); group && group->isCheckable())
        role = QAccessible::CheckBox;
    if (const auto *label = qobject_cast<const QLabel *>(widget); label && showsPicture(label))
        role = QAccessible::Graphic;
    return role;
}

// Roles of what the operator works with, which the keyboard must reach (a
// chart for its menu, which the menu key opens).
bool isControl(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::Button:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::SpinBox:
    case QAccessible::Slider:
    case QAccessible::Dial:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::Chart:
    case QAccessible::Tree:
    case QAccessible::List:
    case QAccessible::Table:
        return true;
    default:
        return false;
    }
}

// Only containers go without a name: what they hold is named.
bool needsName(QAccessible::Role role)
{
    return role != QAccessible::Client && role != QAccessible::Border;
}

// The window's pictures, so that the picture labels show what they show in
// use.
void putPictures(const QDir &dir)
{
    dir.mkpath(QStringLiteral("release"));
    QImage picture(40, 20, QImage::Format_ARGB32);
    picture.fill(Qt::blue);
    for (const char *name : {"release/Connection diagram.png", "release/TorvanLogo.png", "release/Driver timing.png"})
        QVERIFY(picture.save(dir.filePath(QString::fromLatin1(name))));
}

// Watches widgets being disabled while they are still being built: a
// widget created inside a parent that is disabled at that moment is
// disabled by its own constructor, before it is more than a plain widget.
// An assistive technology that is listening then gets, and keeps for the
// widget's life, the interface of a plain widget.
struct DisabledWhileBuilt : QObject
{
    struct Seen
    {
        QPointer<QWidget> widget;
        QByteArray kindThen;
    };
    std::vector<Seen> seen;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::EnabledChange && watched->isWidgetType() &&
            !static_cast<QWidget *>(watched)->isEnabled())
            seen.push_back({static_cast<QWidget *>(watched), watched->metaObject()->className()});
        return false;
    }

    // Those that turned out to be something more than the plain widget they
    // were when they were disabled.
    QStringList builtDisabled() const
    {
        QStringList widgets;
        for (const Seen &s : seen)
            if (s.widget && s.kindThen != s.widget->metaObject()->className())
                widgets << s.widget->objectName() + QStringLiteral(" (") +
                               QString::fromLatin1(s.widget->metaObject()->className()) + QStringLiteral(")");
        return widgets;
    }
};

QString roleName(QAccessible::Role role)
{
    return QString::fromLatin1(QMetaEnum::fromType<QAccessible::Role>().valueToKey(role));
}

QString describe(const QWidget *widget)
{
    return widget->objectName() + QStringLiteral(" (") + QString::fromLatin1(widget->metaObject()->className()) +
           QStringLiteral(")");
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // As when a screen reader runs: from before the window is built.
        QAccessible::setActive(true);
    }

    void noWidgetIsBuiltInsideADisabledParent()
    {
        // The cause of a widget exposed as a plain one, seen whether or not
        // the platform has accessibility turned on (a Qt 6 offscreen
        // window never does, and builds no interfaces while it is off).
        DisabledWhileBuilt watcher;
        qApp->installEventFilter(&watcher);
        WindowRig rig(putPictures);
        qApp->removeEventFilter(&watcher);
        QVERIFY(!watcher.seen.empty()); // the disabled controls of the forms
        const QStringList builtDisabled = watcher.builtDisabled();
        for (const QString &widget : builtDisabled)
            qWarning().noquote() << "built inside a disabled parent:" << widget;
        QVERIFY2(builtDisabled.isEmpty(),
                 qPrintable(QString::number(builtDisabled.size()) + QStringLiteral(" widgets")));
    }

    void everyWidgetIsExposedAsItsKindWithAName()
    {
        WindowRig rig(putPictures);
        QStringList wrongRole, unnamed, unreachable, unknown;
        // With the settings comparison open, which the window adds on demand.
        rig.connectBoard();
        for (int i = 0; i < 30; ++i) {
            rig.clock.advance(10);
            rig.receiveTick();
        }
        const QString file = rig.dir.filePath(QStringLiteral("other.tvs"));
        QSettings(file, QSettings::IniFormat).setValue(QStringLiteral("DriverSettings/FullScaleCurrent"), 2.5);
        QVERIFY(rig.window->compareSettingsWith(file));

        // The widgets of the forms and those the window adds; Qt's own
        // inner parts of a widget (named qt_..., or not named) are exposed
        // through the widget that holds them.
        for (QWidget *widget : rig.window->findChildren<QWidget *>()) {
            if (widget->objectName().isEmpty() || widget->objectName().startsWith(QLatin1String("qt_")))
                continue;
            bool known = false;
            const QAccessible::Role expected = expectedRole(widget, &known);
            if (!known) {
                unknown << describe(widget);
                continue;
            }
            QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(widget);
            QVERIFY2(iface, qPrintable(describe(widget)));
            if (iface->role() != expected)
                wrongRole << QStringLiteral("%1 as %2, not %3")
                                 .arg(describe(widget), roleName(iface->role()), roleName(expected));
            // A readout that shows nothing yet is hidden and has nothing to say.
            const auto *label = qobject_cast<const QLabel *>(widget);
            const bool emptyReadout = label && label->isHidden() && label->text().isEmpty();
            if (needsName(expected) && !emptyReadout && iface->text(QAccessible::Name).trimmed().isEmpty())
                unnamed << describe(widget);
            if (isControl(expected) && !(widget->focusPolicy() & Qt::TabFocus))
                unreachable << describe(widget);
        }

        // One line a fault, each in full (a failure message is cut short).
        const auto report = [](const char *what, const QStringList &widgets) {
            for (const QString &widget : widgets)
                qWarning().noquote() << what << widget;
            return int(widgets.size());
        };
        const int faults = report("no role known for", unknown) + report("exposed", wrongRole) +
                           report("without a name:", unnamed) + report("not reachable by Tab:", unreachable);
        QVERIFY2(faults == 0, qPrintable(QString::number(faults) + QStringLiteral(" faults, listed above")));
    }

    // A label whose text changes while the window runs (a readout) is read
    // out by that text: no name set in code hides it.
    void readoutsAreReadByTheirText()
    {
        WindowRig rig(putPictures);
        TestWallClock wall(rig.clock, QDateTime::fromMSecsSinceEpoch(0, Qt::UTC), 0);
        BoardService service(rig.drv, rig.clock, wall);
        rig.window->attachService(service);
        QHash<const QLabel *, QString> before;
        for (const QLabel *label : rig.window->findChildren<QLabel *>())
            before.insert(label, label->text());

        // The board's live data, a client, and the cursors of every chart.
        rig.connectBoard();
        rig.runFor(1000);
        struct Client : ServicePeer
        {
            void send(const QByteArray &) override {}
        } client;
        service.attach(&client);
        for (const char *box : {"cbCursorsPosGraph", "cbCursorsTempLog", "cbCursorsRecord"})
            rig.w<QAbstractButton>(box)->setChecked(true);

        QStringList changed, hidden;
        for (const QLabel *label : rig.window->findChildren<QLabel *>()) {
            if (label->text() == before.value(label) || showsPicture(label))
                continue;
            changed << label->objectName();
            const QString name =
                QAccessible::queryAccessibleInterface(const_cast<QLabel *>(label))->text(QAccessible::Name);
            if (name != label->text())
                hidden
                    << QStringLiteral("%1 is read as \"%2\", shows \"%3\"").arg(describe(label), name, label->text());
        }
        for (const char *readout : {"lblRemoteClients", "lblCursorsPosGraph", "lblCursorsTempLog", "lblCursorsRecord"})
            QVERIFY2(changed.contains(QLatin1String(readout)), readout);
        for (const QString &label : hidden)
            qWarning().noquote() << label;
        QVERIFY2(hidden.isEmpty(),
                 qPrintable(QString::number(hidden.size()) + QStringLiteral(" labels, listed above")));
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"

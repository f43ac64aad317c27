// The window in German: every text it shows translated, the language chosen
// as a person expects, the German window fitting its pages, and what goes to
// the log, to files and to other programs staying English.
#include "WindowRig.h"
#include "ui/ChartExport.h"
#include "ui/Language.h"
#include "ui/MessageBoxDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QHash>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QXmlStreamReader>

namespace {

// One message of a .ts file.
struct Message
{
    QString context, source, comment, translation, type;
};

QList<Message> readTs(const QString &path)
{
    QList<Message> messages;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return messages;
    QXmlStreamReader xml(&file);
    QString context;
    Message m;
    while (!xml.atEnd()) {
        if (!xml.readNextStartElement())
            continue;
        const QStringView name = xml.name();
        if (name == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (name == QLatin1String("message")) {
            m = Message{context, {}, {}, {}, {}};
        } else if (name == QLatin1String("source")) {
            m.source = xml.readElementText();
        } else if (name == QLatin1String("comment")) {
            m.comment = xml.readElementText();
        } else if (name == QLatin1String("translation")) {
            m.type = xml.attributes().value(QLatin1String("type")).toString();
            m.translation = xml.readElementText();
            messages << m;
        }
    }
    return messages;
}

QString key(const Message &m)
{
    return m.context + QLatin1Char('|') + m.source + QLatin1Char('|') + m.comment;
}

QSet<QString> placeholders(const QString &text)
{
    QSet<QString> found;
    static const QRegularExpression marker(QStringLiteral("%[1-9]"));
    for (auto it = marker.globalMatch(text); it.hasNext();)
        found.insert(it.next().captured());
    return found;
}

// The letter after a single '&' ("&&" is a literal ampersand), or none.
QChar accelerator(const QString &text)
{
    for (int i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&'))
            continue;
        if (text[i + 1] == QLatin1Char('&')) {
            ++i;
            continue;
        }
        return text[i + 1].toLower();
    }
    return QChar();
}

struct Run
{
    int code = -1;
    QByteArray out, err;
};

Run runTool(const QString &program, const QStringList &args, const QProcessEnvironment &env,
            const QString &folder = QString())
{
    QProcess tool;
    tool.setProcessEnvironment(env);
    if (!folder.isEmpty())
        tool.setWorkingDirectory(folder);
    tool.start(program, args);
    Run run;
    if (!tool.waitForStarted() || !tool.waitForFinished(120000))
        return run;
    run.code = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    run.out = tool.readAllStandardOutput();
    run.err = tool.readAllStandardError();
    return run;
}

// The environment without any locale variable, then these.
QProcessEnvironment localeEnvironment(const QStringList &assignments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LC_NUMERIC", "LANG"})
        env.remove(QString::fromLatin1(name));
    for (const QString &assignment : assignments)
        env.insert(assignment.section(QLatin1Char('='), 0, 0), assignment.section(QLatin1Char('='), 1));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

// The texts the window shows that do not fit the room they have: a button
// or label narrower than its text, a group narrower than its title, a
// widget reaching past the page it is on.
QStringList cutOff(QWidget *page)
{
    QStringList problems;
    const QRect room = page->rect();
    for (QWidget *widget : page->findChildren<QWidget *>()) {
        if (!widget->isVisibleTo(page) || widget->width() <= 0)
            continue;
        const QString name = widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                                            : widget->objectName();
        const QRect at(widget->mapTo(page, QPoint(0, 0)), widget->size());
        if (!room.contains(at))
            problems << QStringLiteral("%1 reaches past its page (%2 of %3)")
                            .arg(name,
                                 QStringLiteral("%1,%2 %3x%4").arg(at.x()).arg(at.y()).arg(at.width()).arg(at.height()),
                                 QStringLiteral("%1x%2").arg(room.width()).arg(room.height()));
        QString text;
        int wanted = 0;
        if (auto *button = qobject_cast<QPushButton *>(widget)) {
            // Its size hint is at least 80 pixels whatever the text: the
            // text and the margins around it are what must fit.
            text = button->text();
            const QStyle *style = button->style();
            wanted = button->fontMetrics().size(Qt::TextShowMnemonic, text).width() +
                     style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) +
                     2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
        } else if (auto *box = qobject_cast<QAbstractButton *>(widget)) {
            text = box->text();
            wanted = box->sizeHint().width();
        } else if (auto *label = qobject_cast<QLabel *>(widget)) {
            // A label that wraps its words, or shows a picture, has no
            // width of its own to keep.
            if (label->wordWrap() || label->text().isEmpty())
                continue;
            text = label->text();
            wanted = label->sizeHint().width();
        } else if (auto *group = qobject_cast<QGroupBox *>(widget)) {
            text = group->title();
            wanted = group->minimumSizeHint().width();
        }
        if (!text.isEmpty() && wanted > widget->width())
            problems
                << QStringLiteral("%1 \"%2\" needs %3 pixels, has %4").arg(name, text).arg(wanted).arg(widget->width());
    }
    return problems;
}

} // namespace

class TestLanguage : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Language::install(QStringLiteral("en")); }

    // Every text the sources mark for translation has a finished German
    // translation with the same placeholders and an accelerator where the
    // English has one, unique in its form; the file holds nothing else.
    void everyTextHasAGermanTranslation()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString fresh = dir.filePath(QStringLiteral("torvan60_de.ts"));
        QStringList args{QStringLiteral("-no-obsolete"), QStringLiteral("-locations"), QStringLiteral("none"),
                         QStringLiteral("-I"), QStringLiteral(SOURCE_DIR)};
        for (const QString &folder : QStringLiteral(TR_DIRS).split(QLatin1Char(',')))
            args << QStringLiteral(SOURCE_DIR "/") + folder;
        args << QStringLiteral("-ts") << fresh;
        const Run lupdate = runTool(QStringLiteral(LUPDATE), args, QProcessEnvironment::systemEnvironment());
        QVERIFY2(lupdate.code == 0, lupdate.err.constData());

        const QList<Message> wanted = readTs(fresh);
        const QList<Message> committed = readTs(QStringLiteral(SOURCE_DIR "/translations/torvan60_de.ts"));
        QVERIFY(wanted.size() > 100);
        QHash<QString, Message> translated;
        for (const Message &m : committed)
            translated.insert(key(m), m);

        QStringList problems;
        QSet<QString> current;
        for (const Message &m : wanted) {
            current.insert(key(m));
            const auto it = translated.constFind(key(m));
            if (it == translated.constEnd() || !it->type.isEmpty() || it->translation.isEmpty())
                problems << QStringLiteral("no finished German translation: %1: \"%2\"").arg(m.context, m.source);
        }
        QHash<QString, QSet<QChar>> keys; // accelerators by form
        for (const Message &m : committed) {
            const QString where = QStringLiteral("%1: \"%2\"").arg(m.context, m.source);
            if (!current.contains(key(m)))
                problems << QStringLiteral("no longer in the sources: ") + where;
            if (!m.type.isEmpty())
                problems << QStringLiteral("marked %1: ").arg(m.type) + where;
            if (placeholders(m.source) != placeholders(m.translation))
                problems << QStringLiteral("placeholders differ: ") + where;
            const QChar letter = accelerator(m.translation);
            if (accelerator(m.source).isNull() != letter.isNull())
                problems << QStringLiteral("accelerator lost or added: ") + where;
            if (!letter.isNull() && keys[m.context].contains(letter))
                problems << QStringLiteral("accelerator &%1 twice in %2").arg(letter).arg(m.context);
            keys[m.context].insert(letter);
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }

    // --lang, else the person's languages in their order, else English.
    void choosingTheLanguage_data()
    {
        QTest::addColumn<QString>("requested");
        QTest::addColumn<QStringList>("uiLanguages");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<bool>("warned");
        QTest::newRow("--lang de") << "de" << QStringList{"en-US"} << "de" << false;
        QTest::newRow("--lang with region and charset") << "de_AT.UTF-8" << QStringList() << "de" << false;
        QTest::newRow("--lang en over a German locale") << "en" << QStringList{"de-DE"} << "en" << false;
        QTest::newRow("--lang unknown") << "xx" << QStringList{"de-DE"} << "en" << true;
        QTest::newRow("German locale") << "" << QStringList{"de-DE"} << "de" << false;
        QTest::newRow("English before German") << "" << QStringList{"en-GB", "de-DE"} << "en" << false;
        QTest::newRow("untranslated before German") << "" << QStringList{"fr-FR", "de-CH"} << "de" << false;
        QTest::newRow("C locale") << "" << QStringList{"C"} << "en" << false;
        QTest::newRow("nothing known") << "" << QStringList{"fr-FR"} << "en" << false;
    }
    void choosingTheLanguage()
    {
        QFETCH(QString, requested);
        QFETCH(QStringList, uiLanguages);
        QFETCH(QString, chosen);
        QFETCH(bool, warned);
        QString warning;
        QCOMPARE(Language::choose(requested, uiLanguages, &warning), chosen);
        QCOMPARE(!warning.isEmpty(), warned);
    }

    // The program itself, from its environment and arguments: which
    // language --check reports; an unknown one is a warning, not an error.
    void languageOfTheProgram_data()
    {
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("warned");
        QTest::newRow("LANGUAGE before LANG")
            << QStringList{"LANGUAGE=de", "LANG=en_US.UTF-8"} << QStringList() << "de" << false;
        QTest::newRow("LANGUAGE in order")
            << QStringList{"LANGUAGE=en:de", "LANG=de_DE.UTF-8"} << QStringList() << "en" << false;
        QTest::newRow("LC_ALL before LANG")
            << QStringList{"LC_ALL=de_DE.UTF-8", "LANG=en_US.UTF-8"} << QStringList() << "de" << false;
        QTest::newRow("LC_MESSAGES") << QStringList{"LC_MESSAGES=de_DE.UTF-8", "LANG=en_US.UTF-8"} << QStringList()
                                     << "de" << false;
        QTest::newRow("LANG") << QStringList{"LANG=de_AT.UTF-8"} << QStringList() << "de" << false;
        QTest::newRow("no locale") << QStringList() << QStringList() << "en" << false;
        QTest::newRow("--lang en") << QStringList{"LANG=de_DE.UTF-8"} << QStringList{"--lang", "en"} << "en" << false;
        QTest::newRow("--lang=de") << QStringList{"LANG=C"} << QStringList{"--lang=de"} << "de" << false;
        QTest::newRow("--lang unknown") << QStringList{"LANG=de_DE.UTF-8"} << QStringList{"--lang", "xx"} << "en"
                                        << true;
    }
    void languageOfTheProgram()
    {
        QFETCH(QStringList, environment);
        QFETCH(QStringList, args);
        QFETCH(QString, language);
        QFETCH(bool, warned);
        QTemporaryDir dir;
        const Run run = runTool(QStringLiteral(TORVAN60), QStringList{"--simulate", "--check"} + args,
                                localeEnvironment(environment), dir.path());
        // 1: no pictures where it runs; 2 would be arguments refused.
        QVERIFY2(run.code == 0 || run.code == 1, run.err.constData());
        QVERIFY2(run.out.contains("\nlanguage: " + language.toLatin1() + "\n"), run.out.constData());
        QCOMPARE(run.err.contains("Unknown language \"xx\""), warned);
    }

    // Pages, buttons and the questions the window asks in German; its log,
    // and the chart data it writes, in English.
    void germanWindow()
    {
        QVERIFY(Language::install(QStringLiteral("de")));
        WindowRig rig;
        QVERIFY(rig.window->windowTitle().endsWith(QStringLiteral(" – Kein Gerät verbunden")));
        auto *tabs = rig.w<QTabWidget>("tabMainTab");
        const QList<std::pair<const char *, QString>> pages = {
            {"tabDriverSetup", QStringLiteral("Treiber")},
            {"tabPositionControl", QStringLiteral("Positionierung")},
            {"tabRecords", QStringLiteral("Aufzeichnungen")},
            {"tab_5", QStringLiteral("Protokoll")},
        };
        for (const auto &[page, title] : pages)
            QCOMPARE(tabs->tabText(tabs->indexOf(rig.w<QWidget>(page))), title);
        QCOMPARE(rig.w<QPushButton>("pbLoadSettings")->text(), QStringLiteral("Einstellungen aus Datei laden"));
        QCOMPARE(rig.w<QPushButton>("btnRunStop")->text(), QStringLiteral("Start"));
        QCOMPARE(rig.w<QCheckBox>("cbCursorsTempLog")->text(), QStringLiteral("Cursor"));
        QCOMPARE(rig.w<QComboBox>("cbStepMode")->itemText(0), QStringLiteral("Vollschritt"));

        rig.connectBoard();
        rig.w<QGroupBox>("gbPWMControl")->setChecked(true);
        QCOMPARE(rig.dialogs.shown.size(), 1);
        // The title reaches the dialogs in English (the service names the
        // open question by it); the box translates it.
        QCOMPARE(rig.dialogs.shown.first().title, QStringLiteral("PWM Information"));
        QVERIFY2(rig.dialogs.shown.first().text.startsWith(QStringLiteral("Bitte sicherstellen")),
                 qPrintable(rig.dialogs.shown.first().text));
        const QStringList logged = rig.logged();
        QVERIFY2(logged.contains(QStringLiteral("Enabling PWMs.")), qPrintable(logged.join(QLatin1Char('\n'))));
        QVERIFY(logged.first().startsWith(QStringLiteral("Application started: ")));

        // The chart's data file keeps its English header.
        const QString csv = rig.dir.filePath(QStringLiteral("chart.csv"));
        bool found = false;
        for (ChartExport *e : rig.window->findChildren<ChartExport *>()) {
            QVERIFY(e->saveData(csv));
            QFile file(csv);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray header = file.readLine();
            QVERIFY2(!header.contains("Soll") && !header.contains("Temperatur,"), header.constData());
            found = found || header.startsWith("Required position: elapsed / s,Required position,");
        }
        QVERIFY(found);
    }

    // A real message box: its title translated by the box, its buttons in
    // Qt's own German.
    void germanMessageBox()
    {
        QVERIFY(Language::install(QStringLiteral("de")));
        QString title;
        QStringList buttons;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            poll.stop();
            title = box->windowTitle();
            for (QAbstractButton *button : box->buttons())
                buttons << button->text();
            box->button(QMessageBox::Cancel)->click();
        });
        poll.start(10);
        MessageBoxDialogs dialogs;
        QVERIFY(!dialogs.ask(QStringLiteral("Restore settings"), QStringLiteral("?")));
        QCOMPARE(title, QStringLiteral("Einstellungen wiederherstellen"));
        buttons.sort();
        QCOMPARE(buttons, QStringList({QStringLiteral("Abbrechen"), QStringLiteral("OK")}));
    }

    // At the window's own size every page shows its texts whole: in German
    // as in English.
    void textsFitTheirPages_data()
    {
        QTest::addColumn<QString>("language");
        QTest::newRow("English") << "en";
        QTest::newRow("German") << "de";
    }
    void textsFitTheirPages()
    {
        QFETCH(QString, language);
        QVERIFY(Language::install(language));
        WindowRig rig;
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        QStringList problems;
        // The window's German must not make it wider than it is meant to be.
        if (rig.window->minimumSizeHint().width() > rig.window->width())
            problems << QStringLiteral("the window needs %1 pixels, is %2 wide")
                            .arg(rig.window->minimumSizeHint().width())
                            .arg(rig.window->width());
        auto *tabs = rig.w<QTabWidget>("tabMainTab");
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            QCoreApplication::processEvents();
            for (const QString &problem : cutOff(tabs->widget(i)))
                problems << tabs->tabText(i) + QStringLiteral(": ") + problem;
        }
        // The frame around the pages: the readouts and the status.
        for (const QString &problem : cutOff(rig.window->centralWidget()))
            if (!problem.contains(QLatin1String("reaches past")))
                problems << problem;
        problems.removeDuplicates();
        for (const QString &problem : problems)
            qWarning("%s", qPrintable(problem));
        QVERIFY2(problems.isEmpty(), qPrintable(QStringLiteral("%1 texts cut off").arg(problems.size())));
    }

    // What torvan60ctl writes for programs is the same under a German
    // locale: no translated word, no decimal comma.
    void ctlOutputIsTheSameUnderAGermanLocale_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("status --json") << QStringList{"--simulate", "status", "--json"};
        QTest::newRow("status --watch --csv")
            << QStringList{"--simulate", "status", "--watch", "--csv", "--count", "3"};
    }
    void ctlOutputIsTheSameUnderAGermanLocale()
    {
        QFETCH(QStringList, args);
        const Run english = runTool(QStringLiteral(TORVAN60CTL), args, localeEnvironment({"LANG=C"}));
        const Run german = runTool(QStringLiteral(TORVAN60CTL), args,
                                   localeEnvironment({"LANG=de_DE.UTF-8", "LC_ALL=de_DE.UTF-8", "LANGUAGE=de"}));
        QCOMPARE(english.code, 0);
        QCOMPARE(german.code, 0);
        QVERIFY(!english.out.isEmpty());
        // The time of a report (a JSON member, the first two cells of a CSV
        // row: time of day and elapsed) differs between two runs;
        // everything else is byte for byte the same.
        const auto timeless = [](const QByteArray &out) {
            static const QRegularExpression stamp(QStringLiteral("\\d{4}-\\d\\d-\\d\\dT[0-9:.]+(Z|[+-][0-9:]+)"));
            static const QRegularExpression row(QStringLiteral("^T,[0-9.]+,"), QRegularExpression::MultilineOption);
            return QString::fromUtf8(out).replace(stamp, QStringLiteral("T")).replace(row, QStringLiteral("T,T,"));
        };
        QCOMPARE(timeless(german.out), timeless(english.out));
    }
};

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"

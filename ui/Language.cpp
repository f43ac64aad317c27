#include "ui/Language.h"

#include <QCoreApplication>
#include <QDir>
#include <QHash>
#include <QLibraryInfo>
#include <QLocale>
#include <QMutex>
#include <QTranslator>

#include <memory>

namespace {

// Where the build puts the compiled translations (ui/CMakeLists.txt).
const QString BuiltIn = QStringLiteral(":/i18n");
const QString Prefix = QStringLiteral("torvan60_");

// The program's translation, remembering which source each translation it
// gave came from: the event log names in English what a widget shows.
class SourceKeepingTranslator : public QTranslator
{
public:
    bool loadFile(const QString &file) { return inner.load(file); }
    bool isEmpty() const override { return inner.isEmpty(); }

    QString translate(const char *context, const char *sourceText, const char *disambiguation, int n) const override
    {
        const QString translated = inner.translate(context, sourceText, disambiguation, n);
        if (!translated.isEmpty()) {
            // The live readouts ask again and again: a text already noted
            // costs a lookup, not a copy.
            const QMutexLocker lock(&mutex);
            if (!sources.contains(translated))
                sources.insert(translated, QString::fromUtf8(sourceText));
        }
        return translated;
    }

    QString sourceOf(const QString &translated) const
    {
        const QMutexLocker lock(&mutex);
        return sources.value(translated, translated);
    }

private:
    QTranslator inner;
    mutable QMutex mutex;
    mutable QHash<QString, QString> sources;
};

std::unique_ptr<SourceKeepingTranslator> own;
std::unique_ptr<QTranslator> qtOwn;

QString qtTranslationsFolder()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
#else
    return QLibraryInfo::location(QLibraryInfo::TranslationsPath);
#endif
}

// "de-DE", "de_DE.UTF-8", "de_DE@euro": the language alone, "de"; "C" and
// "POSIX" name no language.
QString languageOf(const QString &name)
{
    QString code = name.trimmed().toLower();
    for (const QChar end : {QLatin1Char('.'), QLatin1Char('@'), QLatin1Char('_'), QLatin1Char('-')})
        code = code.section(end, 0, 0);
    return code == QLatin1String("c") || code == QLatin1String("posix") ? QString() : code;
}

} // namespace

// Outside any namespace, as the resource's registration function is.
static void initResources()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // Built into a static library: registered by a call, not by the linker.
    Q_INIT_RESOURCE(torvan60_translations);
#endif
}

QStringList Language::available()
{
    initResources();
    QStringList codes;
    for (const QString &file : QDir(BuiltIn).entryList({Prefix + QStringLiteral("*.qm")}, QDir::Files, QDir::Name))
        codes << file.mid(Prefix.size()).chopped(3);
    return codes;
}

QString Language::choose(const QString &requested, const QStringList &uiLanguages, QString *warning)
{
    const QString english = QStringLiteral("en");
    const QStringList known = available();
    if (!requested.isEmpty()) {
        const QString code = languageOf(requested);
        if (code == english || known.contains(code))
            return code;
        if (warning)
            *warning = QStringLiteral("Unknown language \"%1\" (known: %2); the window is shown in English.")
                           .arg(requested, (QStringList{english} + known).join(QStringLiteral(", ")));
        return english;
    }
    // In the person's order: English before a translation keeps English.
    for (const QString &name : uiLanguages) {
        const QString code = languageOf(name);
        if (code == english || known.contains(code))
            return code;
    }
    return english;
}

bool Language::install(const QString &code)
{
    if (own)
        QCoreApplication::removeTranslator(own.get());
    own.reset();
    if (qtOwn)
        QCoreApplication::removeTranslator(qtOwn.get());
    qtOwn.reset();
    if (code == QLatin1String("en") || code.isEmpty())
        return true;

    initResources();
    auto translator = std::make_unique<SourceKeepingTranslator>();
    if (!translator->loadFile(BuiltIn + QLatin1Char('/') + Prefix + code + QStringLiteral(".qm")))
        return false;
    // Qt's own dialogs: their buttons and file dialogs, when installed.
    auto qt = std::make_unique<QTranslator>();
    if (qt->load(QStringLiteral("qtbase_") + code, qtTranslationsFolder())) {
        QCoreApplication::installTranslator(qt.get());
        qtOwn = std::move(qt);
    }
    QCoreApplication::installTranslator(translator.get());
    own = std::move(translator);
    return true;
}

QString Language::english(const QString &shown)
{
    return own ? own->sourceOf(shown) : shown;
}

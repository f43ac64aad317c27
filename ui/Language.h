#pragma once

#include <QString>
#include <QStringList>

// The language of the window: English as written in the sources, or one of
// the translations built into the program (translations/torvan60_<code>.ts),
// with Qt's own translation of its dialogs (file dialog, message box buttons)
// where the system has it. What the window writes to the event log, to files
// and to other programs stays English whatever the language.
namespace Language {

// The codes of the built-in translations ("de"), English not among them.
QStringList available();

// The language to use, as a code of available() or "en" for English: the one
// requested (--lang) when given, else the first of the person's languages
// (QLocale::system().uiLanguages(): LANGUAGE, then LC_ALL, LC_MESSAGES, LANG)
// that is English or has a translation. A requested language without a
// translation means English, with the reason in *warning.
QString choose(const QString &requested, const QStringList &uiLanguages, QString *warning = nullptr);

// Makes code (from choose()) the language of the texts translated from now
// on, replacing the one installed before; "en" removes every translation.
// False when the program's translation could not be loaded (English then).
bool install(const QString &code);

// The English a shown text was translated from, for the event log lines
// built from what widgets show; the text itself when it is no translation.
QString english(const QString &shown);

} // namespace Language

#pragma once

#include "cmdline/CommandLine.h"

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

// A manual page, written as roff for man(1). Text is plain: the writer
// escapes it. In terms and synopses, words in capitals (FILE, N) are set in
// italics as what the user fills in, the rest in bold as typed.
namespace CommandLine {

struct ManSection
{
    explicit ManSection(const QString &title, bool subsection = false) : title(title), subsection(subsection) {}

    QString title;                                  // "OPTIONS"; a subsection when subsection is set
    bool subsection = false;                        // under the section before it
    QString text;                                   // paragraphs, separated by blank lines
    std::vector<std::pair<QString, QString>> items; // term and its paragraph
    QStringList code;                               // lines set as they are (a synopsis of a command)
    std::vector<Example> examples;
    QString after; // paragraphs after the items
};

struct ManPage
{
    QString name;    // "torvan60ctl"
    QString summary; // the NAME line's text after the dash
    QString source;  // "torvan60 1.23"
    QString manual;  // "User Commands"
    QStringList synopsis;
    std::vector<ManSection> sections;
};

// Items for a list of options: each option's synopsis and its help.
std::vector<std::pair<QString, QString>> optionItems(const Options &options);

QString roff(const ManPage &page);

} // namespace CommandLine

#include "cli/Command.h"
#include "cli/Help.h"

namespace Cli {

namespace {

using CommandLine::Kind;

// How a value or a word completes, as the script's __torvan60ctl_complete
// takes it: "file PATTERN", "choice WORD...", "serial", "command" or
// "any".
QString completion(Kind kind, const QString &pattern, const QStringList &choices)
{
    switch (kind) {
    case Kind::File:
        return QStringLiteral("file ") + (pattern.isEmpty() ? QStringLiteral("*") : pattern);
    case Kind::Serial:
        return QStringLiteral("serial");
    case Kind::Choice:
        return QStringLiteral("choice ") + choices.join(QLatin1Char(' '));
    case Kind::Flag:
    case Kind::Text:
    case Kind::Integer:
    case Kind::Number:
        break;
    }
    return QStringLiteral("any");
}

QString value(const CommandLine::Option &option)
{
    const QString form = option.attachedValue   ? QStringLiteral("attached ")
                         : option.optionalValue ? QStringLiteral("optional ")
                                                : QString();
    return form + completion(option.kind, option.pattern, option.choices);
}

// A case pattern for the shell, quoted.
QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// One "case" branch a line: pattern) echo "words" ;;
QString branch(const QString &pattern, const QString &words)
{
    return QStringLiteral("    %1) echo %2 ;;\n").arg(pattern, quoted(words));
}

// The option names as offered: one with an attached value also as "--name=".
QStringList offered(const CommandLine::Options &options)
{
    QStringList words;
    for (const CommandLine::Option &option : options) {
        words << option.names;
        if (option.attachedValue)
            words << option.name() + QLatin1Char('=');
    }
    return words;
}

} // namespace

QString bashCompletion()
{
    QString actionsCase, optionsCase, valuesCase, argumentsCase;
    for (const Command &command : commands()) {
        if (!command.actions().isEmpty())
            actionsCase += branch(quoted(command.name), command.actions().join(QLatin1Char(' ')));
        for (const Form &form : command.forms) {
            const QString key = command.name + QLatin1Char(' ') + form.action;
            if (!form.options.empty())
                optionsCase += branch(quoted(key), offered(form.options).join(QLatin1Char(' ')));
            if (!form.arguments.empty()) {
                const Argument &argument = form.arguments.front();
                argumentsCase += branch(quoted(key), completion(argument.kind, argument.pattern, argument.choices));
            }
            for (const CommandLine::Option &option : form.options)
                if (option.takesValue())
                    for (const QString &name : option.names)
                        valuesCase += branch(quoted(command.name + QLatin1Char(' ') + name), value(option));
        }
    }
    // After the commands' own: a command's option wins over a global one of the same name.
    for (const CommandLine::Option &option : globalOptions())
        if (option.takesValue())
            for (const QString &name : option.names)
                valuesCase += branch(QStringLiteral("*\" %1\"").arg(name), value(option));
    return QStringLiteral(R"script(# bash completion for torvan60ctl                         -*- shell-script -*-
# Made by the build from torvan60ctl's own declarations of its commands and
# options; change those, not this file.

# The action words of a command ($1).
__torvan60ctl_actions()
{
    case $1 in
%1    esac
}

# The options of a command ($1) in a form ($2, its action or empty), and
# those of every command.
__torvan60ctl_options()
{
    case "$1 $2" in
%2    esac
    echo "%3"
}

# What completes the value of option $2 after command $1 (or before any):
# [attached|optional] file PATTERN | choice WORD... | serial | any; nothing
# when the option takes no value. An attached value is given as --name=VALUE
# only; an optional one may be left out.
__torvan60ctl_value()
{
    case "$1 $2" in
%4    esac
}

# What completes the arguments of a command ($1) in a form ($2).
__torvan60ctl_arguments()
{
    case "$1 $2" in
%5    esac
}

# Sets COMPREPLY to what completes $2 by $1 (as __torvan60ctl_value says);
# $3 is the program and the simulation options of the line, for the serials.
__torvan60ctl_complete()
{
    local how=$1 cur=$2
    shift 2
    case $how in
    file\ *)
        compopt -o filenames 2>/dev/null
        local pattern=${how#file }
        if [[ $pattern == "*" ]]; then
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        else
            mapfile -t COMPREPLY < <(compgen -f -X "!$pattern" -- "$cur"; compgen -d -- "$cur")
        fi
        ;;
    choice\ *) mapfile -t COMPREPLY < <(compgen -W "${how#choice }" -- "$cur") ;;
    serial) mapfile -t COMPREPLY < <(compgen -W "$("$@" list --serials 2>/dev/null)" -- "$cur") ;;
    *) COMPREPLY=() ;;
    esac
}

_torvan60ctl()
{
    local IFS=$' \t\n'
    # The words up to the cursor, "--name=value" joined again where the
    # shell split it at "=".
    local -a words=()
    local i w joined=0
    for ((i = 0; i <= COMP_CWORD; i++)); do
        w=${COMP_WORDS[i]}
        if [[ $w == = && ${#words[@]} -gt 1 && ${words[-1]} == --* && ${words[-1]} != *=* ]]; then
            words[-1]+==
            joined=1
        elif ((joined)); then
            words[-1]+=$w
            joined=0
        else
            words+=("$w")
        fi
    done
    local cur=${words[-1]} prev=
    ((${#words[@]} > 2)) && prev=${words[-2]}

    # The command, its action, its arguments so far, and the options that
    # choose the bus (for listing the serials).
    local command= action= arguments=0 ended=0 how
    local -a program=("${COMP_WORDS[0]}")
    for ((i = 1; i < ${#words[@]} - 1; i++)); do
        w=${words[i]}
        if ((!ended)) && [[ $w == -?* ]]; then
            [[ $w == -- ]] && { ended=1; continue; }
            [[ $w == --simulate* ]] && program+=("$w")
            how=$(__torvan60ctl_value "$command" "$w")
            if [[ $w != *=* && -n $how && $how != attached\ * ]] &&
                ! [[ $how == optional\ * && ${words[i + 1]} == -* ]]; then
                ((i++))
                [[ $w == --simulate-boards ]] && program+=("${words[i]}")
            fi
        elif [[ -z $command ]]; then
            command=$w
        elif [[ -z $action && " $(__torvan60ctl_actions "$command") " == *" $w "* && $arguments == 0 ]]; then
            action=$w
        else
            ((arguments++))
        fi
    done

    if [[ $cur == --*=* ]]; then
        how=$(__torvan60ctl_value "$command" "${cur%%=*}")
        how=${how#attached }
        __torvan60ctl_complete "${how#optional }" "${cur#*=}" "${program[@]}"
        # Where "=" does not break words, the reply is the whole word.
        if [[ $COMP_WORDBREAKS != *=* ]]; then
            COMPREPLY=("${COMPREPLY[@]/#/${cur%%=*}=}")
        fi
        return
    fi
    how=$(__torvan60ctl_value "$command" "$prev")
    if [[ -n $prev && $prev != *=* && -n $how && $how != attached\ * ]] && ((!ended)); then
        # An optional value is not needed: options complete there as well.
        if [[ $how == optional\ * && $cur == -* ]]; then
            mapfile -t COMPREPLY < <(compgen -W "$(__torvan60ctl_options "$command" "$action")" -- "$cur")
        else
            __torvan60ctl_complete "${how#optional }" "$cur" "${program[@]}"
        fi
        return
    fi
    if [[ $cur == -* ]] && ((!ended)); then
        mapfile -t COMPREPLY < <(compgen -W "$(__torvan60ctl_options "$command" "$action")" -- "$cur")
        [[ ${#COMPREPLY[@]} == 1 && ${COMPREPLY[0]} == *= ]] && compopt -o nospace 2>/dev/null
        return
    fi
    if [[ -z $command ]]; then
        mapfile -t COMPREPLY < <(compgen -W "%6" -- "$cur")
        return
    fi
    local actions=$(__torvan60ctl_actions "$command")
    if [[ -n $actions && -z $action && $arguments == 0 ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$actions" -- "$cur")
        return
    fi
    how=$(__torvan60ctl_arguments "$command" "$action")
    __torvan60ctl_complete "${how:-any}" "$cur" "${program[@]}"
} &&
    complete -F _torvan60ctl torvan60ctl
)script")
        .arg(actionsCase, optionsCase, offered(globalOptions()).join(QLatin1Char(' ')), valuesCase, argumentsCase,
             commandNames().join(QLatin1Char(' ')));
}

} // namespace Cli

#pragma once

#include <QList>
#include <QString>
#include <QStringList>

struct Invocation;

// The modes of the command line and their options: what each mode is
// called, which options and files it takes, its usage line and its help.
// The parser (command_line.cpp) and the help (help_text.cpp) are made from
// these rows, so a new mode is one more row, the file that runs it and its
// line in mode_runs.h; a new option, one more row here and where its value
// goes (readValue in command_line.cpp, a field of Invocation).

// Where a mode runs: in the program itself with QtCore alone, or in the
// window's library (gui_entry.h), which the program loads for the window
// and for drawing.
enum class Part { Text, Window, Picture };

enum class Option {
    Start,
    Formation,
    Scale,
    Compare,
    StartA,
    StartB,
    StartBase,
    StartOurs,
    StartTheirs,
    Format,
    Units,
    Output,
    Take,
    Force,
    NoBackup,
    AllowNoBackup,
    Quiet,
    Help,
    Version
};

struct OptionDescription {
    Option option = Option::Start;
    QString name{};      // --name, or -name
    QString shortName{}; // -x; empty when there is none
    QString value{};     // what the help calls its value; empty for a flag
    QString help{};      // its lines in the help, after its names
    // The parts whose every mode takes it, even before the mode word.
    QList<Part> everyModeOf{};
    // Words that ask for it wherever they stand, beside -x and --name.
    QStringList alsoWords{};
};

struct ModeDescription {
    QString word{}; // the first word; empty for the window
    Part part = Part::Text;
    QString usage{}; // after the program's name, on one line: the help wraps it
    // The options it takes besides those of every mode, in the order their
    // values are checked: the first wrong one is the one told.
    QList<Option> options{};
    QStringList files{}; // what its files are called, in their order
    QString help{};      // its lines in the help
    // Runs a mode of the text part: gives the exit status.
    int (*run)(const Invocation &) = nullptr;
};

// The options in the order the help lists them.
const QList<OptionDescription> &optionTable();
// The window first, then the modes in the order the help lists them.
const QList<ModeDescription> &modeTable();

const OptionDescription &describe(Option option);
// The mode that `word` names; null when none does (the window's row has
// no word).
const ModeDescription *modeNamed(const QString &word);
// Whether `mode` takes `option`, as its own or as one of every mode of its part.
bool takes(const ModeDescription &mode, Option option);

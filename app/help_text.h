#pragma once

#include <QString>

// The usage and the help, made from the table of modes (mode_table.h).

// The short form printed after a usage error: one usage line per mode.
QString usageText();
// What --help prints, for every mode alike.
QString helpText();

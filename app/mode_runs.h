#pragma once

struct Invocation;

// The modes of the text part, each in a file of its own (export_mode.cpp,
// ...), named by their rows in the table of modes. Each runs its command
// line once it reads, printing through console.h, and gives the exit status.
int runExport(const Invocation &invocation);
int runImport(const Invocation &invocation);
int runDiff(const Invocation &invocation);
int runMerge(const Invocation &invocation);
int runRecover(const Invocation &invocation);

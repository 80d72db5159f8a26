#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>
#include <functional>
#include <memory>

// Saving the formation table to the first 1,488 bytes of a file. The file is
// never truncated: an existing longer file keeps every later byte. The new
// content goes to a temporary file beside the target that replaces it only
// when every byte is out, so a failed save leaves the old file whole.

// Makes the writer for a target path; tests hand in one that fails.
using SaveFileFactory = std::function<std::unique_ptr<QSaveFile>(const QString &path)>;

struct SaveResult {
    bool ok = false;
    QString error; // for the user, naming the file, when not ok
};

// A target that is a program: saving there overwrites its first bytes.
bool isProgramPath(const QString &path);

SaveResult saveTable(const QString &path, const QByteArray &table,
                     const SaveFileFactory &makeSaveFile = {});

#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// What "Take formations from another file" shows and does, without a window.

// One formation as the take dialog lists it.
struct TakeRow {
    int formation = 0; // 0..30
    QString text;      // number, name and what differs, as a screen reader reads it
    bool differs = false;
};

// Every formation of `current` (the window's table) beside the same one of
// `other`: "3 Wedge: same", or "3 Wedge: line 1: count, xFeet; line 3: type".
QList<TakeRow> takeRows(const QByteArray &current, const QByteArray &other,
                        const QStringList &names);

// `current` with the bytes of `formations` taken from `other`.
QByteArray tableTaking(const QByteArray &current, const QByteArray &other,
                       const QList<int> &formations);

// The history's name for taking `count` formations from `fileName`.
QString takeStepName(int count, const QString &fileName);

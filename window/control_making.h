#pragma once

#include <QRect>
#include <QString>
#include <QWidget>
#include <functional>

// A control of the form: made in `parent` with its object name and place.
template <typename T> T *makeControl(QWidget *parent, const QString &name, const QRect &rect)
{
    auto *widget = new T(parent);
    widget->setObjectName(name);
    widget->setGeometry(rect);
    return widget;
}

// The object name of a control array's element, such as "Text3(4)".
inline QString indexed(const char *name, int index)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}

// Where a control stands in the window's tab order: by its tab index, then
// by its place among controls of the same index.
using TabStop = std::function<void(int tabIndex, int subIndex, QWidget *widget)>;

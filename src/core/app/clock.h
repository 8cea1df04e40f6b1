#pragma once

#include <QDateTime>

#include <functional>

// Anything that depends on "now" takes a Clock, so rules are tested on fixed dates.
using Clock = std::function<QDateTime()>;

inline QDateTime systemNow()
{
    return QDateTime::currentDateTime();
}

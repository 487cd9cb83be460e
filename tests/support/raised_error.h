#pragma once

#include "data/error.h"

#include <QString>

#include <functional>

// The number of the rio::Error that f raises, 0 when it raises none; with a
// description, its text too.
inline qint64 errorOf(const std::function<void()>& f, QString* description = nullptr)
{
    try {
        f();
    } catch (const rio::Error& e) {
        if (description)
            *description = e.description();
        return e.number();
    }
    return 0;
}

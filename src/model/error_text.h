#pragma once

#include <QString>

#include <exception>

// The one way an exception becomes text: ours carry QString::toStdString()'s
// UTF-8, the standard library's own are plain ASCII.
inline QString describe(const std::exception& error)
{
    return QString::fromUtf8(error.what());
}

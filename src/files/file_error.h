#pragma once

#include <QString>
#include <stdexcept>

// Raised by the files layer; what() is a plain description that the window puts
// after its fixed message prefix ("Error saving file ", ...).
class FileError final : public std::runtime_error {
public:
    explicit FileError(const QString& description) : std::runtime_error(description.toStdString()) { }
};

#pragma once

#include <QString>
#include <optional>

class QWidget;

// The file dialogs the window asks, behind an interface so that tests can answer
// them. Each returns the chosen path, std::nullopt when the operator cancelled.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    virtual std::optional<QString> saveFileName(QWidget* parent, const QString& caption, const QString& startName,
                                                const QString& filter) = 0;
    virtual std::optional<QString> openFileName(QWidget* parent, const QString& caption, const QString& startName,
                                                const QString& filter) = 0;
};

// The desktop's own dialogs.
class QtFileDialogs final : public FileDialogs {
public:
    std::optional<QString> saveFileName(QWidget* parent, const QString& caption, const QString& startName,
                                        const QString& filter) override;
    std::optional<QString> openFileName(QWidget* parent, const QString& caption, const QString& startName,
                                        const QString& filter) override;
};

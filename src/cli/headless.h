#pragma once

#include "model/messages.h"
#include "operations/operation_context.h"

namespace cli {

class ConsoleStatus;

// The window's string-length list without the window: the operations read the
// length from it and Read and Verify set the device's length into it. Nothing
// else of the window exists here, so the other calls have nothing to draw.
class HeadlessView final : public OperationView {
public:
    explicit HeadlessView(int lengthIndex);

    int stringLengthIndex() const override { return m_lengthIndex; }
    // Throws std::out_of_range for an index outside the ten entries.
    void selectStringLengthIndex(int index) override;
    int currentPage() const override { return 0; }
    void showPage() override {}
    void refreshPageRows() override {}
    void showRowOnLine(int) override {}
    void showRowPicture(int) override {}
    void setRowCounter(int) override {}
    void disableControls() override {}
    void enableControls() override {}

private:
    int m_lengthIndex;
};

// Message boxes become lines on standard error; there is nobody to answer a
// question, so every question is answered No.
class ConsoleMessages final : public Messages {
public:
    explicit ConsoleMessages(ConsoleStatus& status) : m_status(status) {}

    void info(const QString& text) override;
    bool confirm(const QString& text, const QString& title) override;
    void beep() override {}

    int shown() const { return m_shown; }

private:
    ConsoleStatus& m_status;
    int m_shown = 0;
};

}  // namespace cli

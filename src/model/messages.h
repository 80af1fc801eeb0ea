#pragma once

#include <QString>

// The product's message boxes and beep, as seen from code that has no widgets.
// The window answers with real dialogs; tests record what was asked.
class Messages {
public:
    virtual ~Messages() = default;
    // Modal box with an OK button and the application's title.
    virtual void info(const QString& text) = 0;
    // Modal box with Yes and No buttons and a question icon; true for Yes.
    virtual bool confirm(const QString& text, const QString& title) = 0;
    virtual void beep() = 0;
};

#include "support/fake_device.h"

#include <stdexcept>

namespace fakedev {

int RecordingStatus::add(const QString& line)
{
    lines.append(line);
    return static_cast<int>(lines.size() - 1);
}

void RecordingStatus::setLine(int index, const QString& line)
{
    if (index < 0 || index >= lines.size())
        throw std::out_of_range("status line index out of range");
    lines[index] = line;
}

QString RecordingStatus::line(int index) const
{
    return index >= 0 && index < lines.size() ? lines.at(index) : QString();
}

void RecordingStatus::clear()
{
    lines.clear();
    ++clears;
}

void RecordingStatus::showCompletion(const QString& text)
{
    completion = text;
    completionShown = true;
}

void RecordingStatus::hideCompletion(const QString& text)
{
    completion = text;
    completionShown = false;
}

bool RecordingMessages::confirm(const QString& text, const QString& title)
{
    confirms.append(title + QStringLiteral(": ") + text);
    return confirmAnswer;
}

void RecordingView::disableControls()
{
    controlsEnabled = false;
    controlEvents.append(QStringLiteral("disable"));
}

void RecordingView::enableControls()
{
    controlsEnabled = true;
    controlEvents.append(QStringLiteral("enable"));
}

Rig::Rig()
    : link(device, clock),
      waiter(clock),
      context{link, waiter, messages, status, rows, view, 1}
{
}

}  // namespace fakedev

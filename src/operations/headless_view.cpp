#include "operations/headless_view.h"

#include "model/capacity.h"

#include <QString>
#include <stdexcept>

HeadlessView::HeadlessView(int lengthIndex) : m_lengthIndex(capacity::kDefaultListIndex)
{
    selectStringLengthIndex(lengthIndex);
}

void HeadlessView::selectStringLengthIndex(int index)
{
    if (index < 0 || index >= capacity::kLengthCount)
        throw std::out_of_range(QStringLiteral("string length entry %1 does not exist (0..%2)")
                                        .arg(index)
                                        .arg(capacity::kLengthCount - 1)
                                        .toStdString());
    m_lengthIndex = index;
}

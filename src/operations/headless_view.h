#pragma once

#include "operations/operation_context.h"

// The window's string-length list without the window: the operations read the
// length from it and Read and Verify set the device's length into it. Nothing
// else of the window exists here, so the other calls have nothing to draw.
// Used by the command-line tool, the benchmarks and the fuzz targets.
class HeadlessView final : public OperationView {
public:
    explicit HeadlessView(int lengthIndex);

    int stringLengthIndex() const override { return m_lengthIndex; }
    // Throws std::out_of_range for an index outside the ten entries.
    void selectStringLengthIndex(int index) override;
    int currentPage() const override { return 0; }
    void showPage() override { }
    void refreshPageRows() override { }
    void showRowOnLine(int) override { }
    void showRowPicture(int) override { }
    void disableControls() override { }
    void enableControls() override { }

private:
    int m_lengthIndex;
};

#pragma once

#include <QTest>

namespace test_data {

// One row of a data table: its tag, then a value for each column, in the columns' order.
template <class... Values>
void row(const char* tag, const Values&... values)
{
    (QTest::newRow(tag) << ... << values);
}

}  // namespace test_data

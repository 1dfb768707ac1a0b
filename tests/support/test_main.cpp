// Test main for the window tests: an isolated process with a QApplication.
#include "support/isolation.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    IsolateTestProcess();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// GoogleTest's main with the QApplication that the dialog tests need.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char* argv[]) {
    // Test discovery runs without the test's environment; the dialogs never need a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

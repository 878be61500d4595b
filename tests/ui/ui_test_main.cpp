#include <gtest/gtest.h>

#include <QApplication>

// Widget tests need one application object for the whole run, on the
// offscreen platform unless the caller chose another (also when the test
// list is read, which runs without the tests' environment).
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

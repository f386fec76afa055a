#include <gtest/gtest.h>

#include <QtWidgets/QApplication>

#include <cstdlib>

// Widget tests run without a display: the offscreen platform must be chosen before
// the application object exists (test discovery runs this binary at build time too).
int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

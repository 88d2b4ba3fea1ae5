#include <QApplication>

#include <gtest/gtest.h>

// The widget tests share one application object, on the platform QT_QPA_PLATFORM names
// (offscreen under CTest).
int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

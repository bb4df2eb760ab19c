#include <QApplication>
#include <gtest/gtest.h>

// Tests run with a Qt application object, as the program does: Application asks Qt for its
// directories and names, and widget tests need one (offscreen unless a display is given).
int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

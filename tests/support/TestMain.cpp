#include <QCoreApplication>
#include <gtest/gtest.h>

// Tests run with a Qt application object, as the program does: Application asks Qt for its
// directories and names.
int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

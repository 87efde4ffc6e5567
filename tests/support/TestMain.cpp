#include <QCoreApplication>

#include <gtest/gtest.h>

// Test binaries run with a Qt application object, so sockets and events work as in the client.
int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    const QCoreApplication application(argc, argv);
    return RUN_ALL_TESTS();
}

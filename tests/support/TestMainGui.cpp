#include <QApplication>

#include <gtest/gtest.h>

#include <sys/stat.h>

int main(int argc, char **argv)
{
    // The same C library and Qt locale on every machine, and for the programs the tests start.
    qputenv("LC_ALL", "C.UTF-8");
    // The folders and files the tests make are not writable for the group, whatever the caller's umask: the
    // program refuses to start on a data folder that others could change.
    ::umask(022);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

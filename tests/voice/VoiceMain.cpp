// Entry of the voice tests: $HOME moved to an empty folder that the tests check stays empty, and
// the Qt application the voice object's timer and events need.
#include "VoiceTestSupport.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {
QString home;
}

QString voicetest::HomeDir()
{
    return home;
}

int main(int argc, char** argv)
{
    QTemporaryDir dir;
    home = dir.path();
    setenv("HOME", home.toLocal8Bit().constData(), 1);
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_DATA_HOME");
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// The window tests need one application object for the whole run, the program's
// own, on the offscreen platform unless told otherwise.
#include <gtest/gtest.h>

#include "ui/MorvApplication.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    morv::MorvApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

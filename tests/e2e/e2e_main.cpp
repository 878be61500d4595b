#include <gtest/gtest.h>

#include <cstdlib>

// The build's own program and serial double, unless the environment names
// others (an installed program, for one).
int main(int argc, char** argv) {
    ::setenv("ZIV_E2E_PROGRAM", ZIV_E2E_PROGRAM_PATH, 0);
    ::setenv("ZIV_E2E_SERIAL_DOUBLE", ZIV_E2E_SERIAL_DOUBLE_PATH, 0);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

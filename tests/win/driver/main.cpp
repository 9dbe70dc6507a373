// End-to-end driver. As GoogleTest: driver [GTEST FLAGS] TOOL DPI OUTDIR [RECORDER] (the
// stand-in test: STANDIN). As helper of the Python tests: driver pick-session TOOL RESULT.json
// STEP..., driver soak TOOL LEAK_TARGET RECORDER RESULT.json LIST CYCLES HELPS ABOUTS.
#include <gtest/gtest.h>

#include "harness.h"

int wmain(int argc, wchar_t** argv) {
    SetProcessDPIAware();
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"pick-session" && argc >= 4) return driver::pickSession(argv[2], argv[3], {argv + 4, argv + argc});
    if (mode == L"soak" && argc == 10) return driver::soak(argv + 2);
    testing::InitGoogleTest(&argc, argv);
    driver::args.assign(argv + 1, argv + argc);
    // A filter that matches nothing must not pass.
    return RUN_ALL_TESTS() || !testing::UnitTest::GetInstance()->test_to_run_count();
}

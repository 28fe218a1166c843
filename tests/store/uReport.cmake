tm_add_test(tst_uReport SOURCES tst_uReport.cpp)
target_compile_definitions(tst_uReport PRIVATE REPORT_GOLDEN_DIR="${CMAKE_CURRENT_SOURCE_DIR}")

# A second copy of the program's start-up, run as its own process by the two-copies test.
add_executable(uDMOpenHelper uDMOpenHelper.cpp)
target_link_libraries(uDMOpenHelper PRIVATE tmcore)

tm_add_test(tst_uDM SOURCES tst_uDM.cpp)
add_dependencies(tst_uDM uDMOpenHelper)
target_compile_definitions(tst_uDM PRIVATE UDM_OPEN_HELPER="$<TARGET_FILE:uDMOpenHelper>")

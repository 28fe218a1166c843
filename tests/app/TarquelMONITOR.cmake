# The real program under Xvfb. The first agent run falls on the next whole minute, so it takes up to ~70 s.
add_test(NAME tst_TarquelMONITOR
    COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/whole_program.py $<TARGET_FILE:TarquelMONITOR>
        ${CMAKE_BINARY_DIR}/screenshots)
set_tests_properties(tst_TarquelMONITOR PROPERTIES TIMEOUT 240
    ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1")

tm_add_test(tst_uSchema SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_uSchema.cpp)

# The same test with the clock started just before midnight, so that inserts fall in the second at which every
# window begins exactly at a midnight, where a date stored alone sits on the bound.
if(TARGET tst_uSchema)
    find_program(TM_FAKETIME faketime)
    if(TM_FAKETIME)
        add_test(NAME tst_uSchema_midnight
            COMMAND ${TM_FAKETIME} -f "@2024-02-29 23:59:59" $<TARGET_FILE:tst_uSchema> sameFiguresAfterEveryInsert)
        set_tests_properties(tst_uSchema_midnight PROPERTIES
            TIMEOUT 300
            ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:verify_asan_link_order=0;UBSAN_OPTIONS=print_stacktrace=1;LC_ALL=C.UTF-8;TZ=UTC")
    endif()
endif()

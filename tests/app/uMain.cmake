tm_add_test(tst_uMain SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_uMain.cpp GUI TIMEOUT 300)

tm_add_test(tst_uDetails SOURCES tst_uDetails.cpp GUI)

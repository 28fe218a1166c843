tm_add_test(tst_uUtils SOURCES tst_uUtils.cpp)

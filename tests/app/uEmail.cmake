tm_add_test(tst_uEmail SOURCES tst_uEmail.cpp TIMEOUT 300)

tm_add_test(tst_PingThrd SOURCES tst_PingThrd.cpp TIMEOUT 300)

tm_add_test(tst_uSettings SOURCES tst_uSettings.cpp GUI)

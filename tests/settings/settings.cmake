qv_add_test(test_settings BOTH_ENGINES SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_settings.cpp LIBS qv_settings)

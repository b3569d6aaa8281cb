qv_add_test(test_sheetbreaks SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_sheetbreaks.cpp LIBS qv_desk qv_print)

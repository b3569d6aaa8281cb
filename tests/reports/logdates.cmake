qv_add_test(test_logdates SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_logdates.cpp LIBS qv_reports)

qv_add_test(test_logview BOTH_ENGINES
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_logview.cpp ${CMAKE_CURRENT_LIST_DIR}/archiverows.h
            ${CMAKE_CURRENT_LIST_DIR}/archiverows.cpp
    LIBS qv_reports)

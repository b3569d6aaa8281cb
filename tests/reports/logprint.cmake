# The PDF reader of the print tests reads our printed pages back with poppler.
qv_add_test(test_logprint BOTH_ENGINES
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_logprint.cpp ${CMAKE_CURRENT_LIST_DIR}/archiverows.h
            ${CMAKE_CURRENT_LIST_DIR}/archiverows.cpp ${CMAKE_SOURCE_DIR}/tests/print/pdfreader.h
            ${CMAKE_SOURCE_DIR}/tests/print/pdfreader.cpp
    LIBS qv_reports)

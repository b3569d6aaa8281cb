# Reads the exported file back with xlrd through the reader of the .xls writer's tests.
qv_add_test(test_logexportaction BOTH_ENGINES
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_logexportaction.cpp ${CMAKE_CURRENT_LIST_DIR}/archiverows.h
            ${CMAKE_CURRENT_LIST_DIR}/archiverows.cpp ${CMAKE_CURRENT_LIST_DIR}/xlsreadback.h
            ${CMAKE_CURRENT_LIST_DIR}/xlsreadback.cpp
    LIBS qv_reports)
target_compile_definitions(test_logexportaction PRIVATE XLSDUMP_PY="${CMAKE_CURRENT_LIST_DIR}/xlsdump.py")

qv_add_test(test_xlswriter SOURCES tst_xlswriter.cpp xlsreadback.h xlsreadback.cpp LIBS qv_reports)
target_compile_definitions(test_xlswriter PRIVATE XLSDUMP_PY="${CMAKE_CURRENT_SOURCE_DIR}/xlsdump.py")
qv_add_test(test_logexport SOURCES tst_logexport.cpp xlsreadback.h xlsreadback.cpp LIBS qv_reports)
target_compile_definitions(test_logexport PRIVATE XLSDUMP_PY="${CMAKE_CURRENT_SOURCE_DIR}/xlsdump.py")

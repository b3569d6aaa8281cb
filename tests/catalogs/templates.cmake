qv_add_test(test_templates BOTH_ENGINES SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_templates.cpp LIBS qv_catalogs)
qv_add_test(test_namecatalogs BOTH_ENGINES SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_namecatalogs.cpp LIBS qv_catalogs)

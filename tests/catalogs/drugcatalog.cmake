qv_add_test(test_drugcatalog BOTH_ENGINES SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_drugcatalog.cpp LIBS qv_catalogs)
qv_add_test(test_form3 BOTH_ENGINES SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_form3.cpp LIBS qv_catalogs)

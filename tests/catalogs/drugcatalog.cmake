qv_add_test(test_drugcatalog BOTH_ENGINES SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_drugcatalog.cpp LIBS qv_catalogs)
qv_add_test(test_drugcatalogwindow BOTH_ENGINES SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_drugcatalogwindow.cpp LIBS qv_catalogs)

qv_add_test(test_labelgrid SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_labelgrid.cpp LIBS qv_catalogs)

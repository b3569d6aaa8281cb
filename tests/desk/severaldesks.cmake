qv_add_test(test_severaldesks BOTH_ENGINES
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_severaldesks.cpp
    LIBS qv_desk qv_catalogs qv_settings)

qv_add_test(test_desklogic
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_desklogic.cpp
    LIBS qv_desk)

qv_add_test(test_desklogic
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_desklogic.cpp
    LIBS qv_desk)
qv_add_test(test_prescriptiondesk BOTH_ENGINES
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_prescriptiondesk.cpp ${CMAKE_CURRENT_LIST_DIR}/fakesettings.h
    LIBS qv_desk)

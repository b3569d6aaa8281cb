qv_add_test(test_saving BOTH_ENGINES SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_saving.cpp LIBS qv_desk)
qv_add_test(test_prescriptionprint
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_prescriptionprint.cpp
            ${CMAKE_CURRENT_LIST_DIR}/../print/pdfreader.h ${CMAKE_CURRENT_LIST_DIR}/../print/pdfreader.cpp
    LIBS qv_desk qv_print)
qv_add_test(test_deskrecords BOTH_ENGINES
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_deskrecords.cpp ${CMAKE_CURRENT_LIST_DIR}/fakesettings.h
    LIBS qv_desk qv_print)

# The small lilv host shared by the LV2 tests and the LV2 benchmark; whichever
# folder comes first defines it.
if(NOT TARGET lv2_test_host)
    find_library(LILV_LIBRARY lilv-0 REQUIRED)
    find_path(LILV_INCLUDE_DIR lilv/lilv.h PATH_SUFFIXES lilv-0 REQUIRED)
    add_library(lv2_test_host STATIC ${CMAKE_CURRENT_LIST_DIR}/lilv_host.cpp)
    target_include_directories(lv2_test_host PUBLIC ${PROJECT_SOURCE_DIR})
    target_include_directories(lv2_test_host SYSTEM PUBLIC ${LILV_INCLUDE_DIR} ${LV2_INCLUDE_DIR})
    target_link_libraries(lv2_test_host PUBLIC ${LILV_LIBRARY})
    corvid_warnings(lv2_test_host)
endif()

# The desktop app's tests (app_tests): the real main window on the offscreen
# platform, against kavrel-sim where a device is needed. Included from this
# folder's CMakeLists.txt; the main() is the desktop suite's.
if(TARGET tirvel_app)
    add_executable(app_tests
        DesktopMain.cpp
        AppTestSupport.h
        AppStartTest.cpp
        AppWindowTest.cpp
        AppDeviceTest.cpp
        AppFirmwareTest.cpp
        ToolbarTest.cpp
    )
    target_link_libraries(app_tests PRIVATE tirvel_app tirvel_testsupport Qt6::Test GTest::gtest
                                            Threads::Threads tirvel_warnings)
    target_compile_definitions(app_tests PRIVATE TIRVEL_VERSION="${PROJECT_VERSION}"
                                                 TIRVEL_APP_BIN="$<TARGET_FILE:tirvel>")
    add_dependencies(app_tests tirvel)
    set_target_properties(app_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    if(TARGET tirvel_station_app)
        target_sources(app_tests PRIVATE AppOptionsTest.cpp StationWindowTest.cpp)
        target_link_libraries(app_tests PRIVATE tirvel_station_app)
        target_compile_definitions(app_tests PRIVATE TIRVELCTL_BIN="$<TARGET_FILE:tirvelctl>"
                                                     TIRVEL_STATION_BIN="$<TARGET_FILE:tirvel-station>")
        add_dependencies(app_tests tirvelctl kavrel-sim tirvel-station)
    endif()
    gtest_discover_tests(app_tests TEST_PREFIX "app_tests." DISCOVERY_TIMEOUT 60
                         PROPERTIES LABELS desktop TIMEOUT 120
                         ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_DATA_HOME=${CMAKE_BINARY_DIR}/tests/data-home")

    # The committed bitmaps are what the drawing script makes, byte for byte.
    find_package(Python3 COMPONENTS Interpreter QUIET)
    if(Python3_FOUND)
        set(drawn ${CMAKE_CURRENT_BINARY_DIR}/drawn-bitmaps)
        set(committed ${PROJECT_SOURCE_DIR}/res/bitmaps)
        add_test(NAME app_tests.ToolbarBitmapsRedrawIdentically
                 COMMAND ${CMAKE_COMMAND} -DPYTHON=${Python3_EXECUTABLE} -DOUT=${drawn}
                         -DSOURCE=${committed} -P ${CMAKE_CURRENT_SOURCE_DIR}/AppRedrawBitmaps.cmake)
        set_tests_properties(app_tests.ToolbarBitmapsRedrawIdentically PROPERTIES LABELS desktop)
    endif()
endif()

# eveluna_add_test(NAME name SOURCES a.cpp ... LIBS lib ... [WIDGETS] [LABELS l ...] [TIMEOUT s])
# One QtTest program, registered with CTest. WIDGETS runs it on the offscreen platform.
function(eveluna_add_test)
    cmake_parse_arguments(T "WIDGETS" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    set_target_properties(${T_NAME} PROPERTIES AUTOMOC ON RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    target_link_libraries(${T_NAME} PRIVATE Qt6::Test ${T_LIBS})
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    set(env "LC_ALL=C.UTF-8")
    if(T_WIDGETS)
        # No session bus: a window test must never reach the desktop's keyring (the mail password) or
        # start a bus of its own. The keyring tests bring their own bus.
        list(APPEND env "QT_QPA_PLATFORM=offscreen" "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/eveluna-test-no-bus")
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}")
endfunction()

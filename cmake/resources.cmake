# The resource script (dialog templates, menu) and the files it names, built
# into the program as Qt resources: the platform layer builds its dialogs
# from them at run time. The build runs the C preprocessor over the script,
# then the layer's own reader (rc_check), which stops the build at the first
# line it does not take; only a script it read whole is built in. The
# checked script and its files are also gathered in resources/app of the
# build tree, where the tests read them.
set(MELODIANE_RESOURCE_DIR ${CMAKE_BINARY_DIR}/resources)
file(MAKE_DIRECTORY ${MELODIANE_RESOURCE_DIR}/app)

add_executable(rc_check platform/entry/rc_check.cpp platform/qt/resources/rc_script.cpp)
melodiane_include_root(rc_check PRIVATE platform)

set(rc_out ${MELODIANE_RESOURCE_DIR}/app/melodiane.rc)
set(rc_files app/melodiane.bmp app/melodiane.ico)
add_custom_command(OUTPUT ${rc_out}
    COMMAND ${CMAKE_COMMAND} -DCXX=${CMAKE_CXX_COMPILER} -DROOT=${CMAKE_SOURCE_DIR}
        -DSCRIPT=${CMAKE_SOURCE_DIR}/app/melodiane.rc -DWORK=${MELODIANE_RESOURCE_DIR}
        -DOUTPUT=${MELODIANE_RESOURCE_DIR}/melodiane.rc.i -DTARGET=${rc_out}
        -DDEPFILE=${MELODIANE_RESOURCE_DIR}/melodiane.rc.d
        -P ${CMAKE_SOURCE_DIR}/cmake/preprocess_rc.cmake
    COMMAND rc_check ${MELODIANE_RESOURCE_DIR}/melodiane.rc.i ${rc_out}
    DEPENDS rc_check ${CMAKE_SOURCE_DIR}/cmake/preprocess_rc.cmake
    DEPFILE ${MELODIANE_RESOURCE_DIR}/melodiane.rc.d
    COMMENT "Reading app/melodiane.rc"
    VERBATIM)
set(rc_copies)
foreach(file ${rc_files})
    add_custom_command(OUTPUT ${MELODIANE_RESOURCE_DIR}/${file}
        COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/${file} ${MELODIANE_RESOURCE_DIR}/${file}
        DEPENDS ${CMAKE_SOURCE_DIR}/${file}
        VERBATIM)
    list(APPEND rc_copies ${MELODIANE_RESOURCE_DIR}/${file})
endforeach()
add_custom_target(melodiane_rc DEPENDS ${rc_out} ${rc_copies})

add_library(melodiane_resources OBJECT)
qt_add_resources(melodiane_resources "melodiane_resources" PREFIX "/"
    BASE ${MELODIANE_RESOURCE_DIR} FILES ${rc_out} ${rc_copies})
# Linked by each program that shows the windows: object files reach only the
# targets that name them.
target_link_libraries(melodiane_resources PRIVATE Qt6::Core)

# The tests, benchmarks and fuzz targets read the same checked copy when the
# program's resources are not built into them.
add_dependencies(platform_testing melodiane_rc)
target_compile_definitions(platform_testing PRIVATE
    MELODIANE_RESOURCE_DIR="${MELODIANE_RESOURCE_DIR}/app/")

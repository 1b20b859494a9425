# Runs the C preprocessor over the resource script as a resource compiler
# does, with RC_INVOKED. Its <windows.h> brings the platform's names: the
# macros of platform/win32.h alone, its declarations being the program's C++.
# Writes OUTPUT, and DEPFILE naming every file read, for the build.
#   cmake -DCXX=... -DROOT=... -DSCRIPT=... -DWORK=... -DOUTPUT=... -DDEPFILE=... -P preprocess_rc.cmake
execute_process(COMMAND ${CXX} -E -dM -x c++ -I${ROOT} -MD -MF ${WORK}/names.d -MT ${TARGET}
    ${ROOT}/platform/win32.h
    OUTPUT_VARIABLE names RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "the platform's names could not be read from platform/win32.h")
endif()
# The compiler's own names it defines again in the second run.
string(REGEX REPLACE "#define _[^\n]*\n" "" names "${names}")
file(WRITE ${WORK}/windows.h "${names}")
file(WRITE ${WORK}/commctrl.h "")
execute_process(COMMAND ${CXX} -E -x c -DRC_INVOKED -I${WORK} -MD -MF ${WORK}/script.d
    -MT ${TARGET} ${SCRIPT} -o ${OUTPUT} RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "${SCRIPT}: the C preprocessor failed")
endif()
file(READ ${WORK}/names.d names_deps)
file(READ ${WORK}/script.d script_deps)
file(WRITE ${DEPFILE} "${names_deps}${script_deps}")

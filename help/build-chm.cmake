# Compiles the help pages into one .chm file. Run as: cmake -DSOURCE_DIR=... -DSTAGE_DIR=... -DOUTPUT=...
# -DCHMCMD=... -DICONV=... -P build-chm.cmake
#
# The project, contents and index files are kept in UTF-8 in the repository; a viewer reads them in the
# code page of the help file's language (Japanese: CP932), so they are converted while staging. The
# pages themselves declare UTF-8 and are copied unchanged.

foreach(var SOURCE_DIR STAGE_DIR OUTPUT CHMCMD ICONV)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "build-chm.cmake needs -D${var}=...")
    endif()
endforeach()

file(REMOVE_RECURSE "${STAGE_DIR}")
file(MAKE_DIRECTORY "${STAGE_DIR}")
file(GLOB pages "${SOURCE_DIR}/html/*")
file(COPY ${pages} DESTINATION "${STAGE_DIR}")

foreach(name eveluna.hhp toc.hhc index.hhk)
    execute_process(
        COMMAND "${ICONV}" -f UTF-8 -t CP932 "${SOURCE_DIR}/${name}"
        OUTPUT_FILE "${STAGE_DIR}/${name}"
        RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "Could not convert ${name} to CP932")
    endif()
endforeach()

execute_process(
    COMMAND "${CHMCMD}" --no-html-scan --verbosity 1 eveluna.hhp
    WORKING_DIRECTORY "${STAGE_DIR}"
    RESULT_VARIABLE result
    OUTPUT_VARIABLE log
    ERROR_VARIABLE log)
if(NOT result EQUAL 0 OR NOT EXISTS "${STAGE_DIR}/eveluna.chm")
    message(FATAL_ERROR "chmcmd failed:\n${log}")
endif()
file(COPY_FILE "${STAGE_DIR}/eveluna.chm" "${OUTPUT}")

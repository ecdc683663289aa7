# Fails when a source includes a folder that its layer may not use (the order is in README.md):
#   text, volume      nothing of Vocelle but themselves
#   formats, math     text, volume and each other: ROI::ConvertToVOI hands the documents to the
#                     engine in math, which reads them back
#   plugin            the core (text, volume, formats, math)
#   host              the core and plugin
# Project headers are included as <vocelle/folder/file.h>; the old quoted form counts as wrong.
# Variables: SOURCE_DIR.
cmake_minimum_required(VERSION 3.16)
set(core text volume formats math)
set(may_text text)
set(may_volume volume)
set(may_formats ${core})
set(may_math ${core})
set(may_plugin ${core} plugin)
set(may_host ${core} plugin host)
set(wrong "")
foreach(folder text volume formats math plugin host)
    file(GLOB sources ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
    foreach(source IN LISTS sources)
        file(STRINGS ${source} includes REGEX "^#include [<\"](vocelle/)?(${folder}|text|volume|formats|math|plugin|host)/")
        foreach(line IN LISTS includes)
            string(REGEX MATCH "^#include <vocelle/([a-z]+)/" used "${line}")
            if(NOT used OR NOT CMAKE_MATCH_1 IN_LIST may_${folder})
                string(APPEND wrong "\n  ${source}: ${line}")
            endif()
        endforeach()
    endforeach()
endforeach()
if(wrong)
    message(FATAL_ERROR "includes against the layer order:${wrong}")
endif()

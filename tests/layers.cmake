# Fails when a source includes a folder that its layer may not use (the order is in README.md):
#   text, volume      nothing of Vocelle but themselves
#   formats, math     text, volume and each other: ROI::ConvertToVOI hands the documents to the
#                     engine in math, which reads them back
#   plugin            the core (text, volume, formats, math)
#   imaging, analysis the core
#   host              everything
# Project headers are included as <vocelle/folder/file.h>; the old quoted form counts as wrong.
# Variables: SOURCE_DIR.
cmake_minimum_required(VERSION 3.16)
set(core text volume formats math)
set(layers ${core} plugin imaging analysis host)
set(may_text text)
set(may_volume volume)
set(may_formats ${core})
set(may_math ${core})
set(may_plugin ${core} plugin)
set(may_imaging ${core} imaging)
set(may_analysis ${core} analysis)
set(may_host ${layers})
list(JOIN layers "|" any_layer)
set(wrong "")
foreach(folder IN LISTS layers)
    file(GLOB_RECURSE sources ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
    foreach(source IN LISTS sources)
        file(STRINGS ${source} includes REGEX "^#include [<\"](vocelle/)?(${any_layer})/")
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

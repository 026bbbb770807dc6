# Common settings for every target of ours: warnings as errors, hidden symbols, static runtimes
# on Windows.
function(wadling_target_defaults target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
    target_compile_features(${target} PUBLIC cxx_std_20)
    set_target_properties(${target} PROPERTIES
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON
        POSITION_INDEPENDENT_CODE ON)
    if(WIN32)
        target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
    endif()
endfunction()

# A static library of one layer: wadling_library(name SOURCES ... [DEPS ...])
function(wadling_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    wadling_target_defaults(${name})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    if(ARG_DEPS)
        target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    endif()
endfunction()

# Links libpng into `target` where it is found (native builds; the cross builds have none) and
# defines WADLING_HAVE_PNG for the code that writes or reads PNG files.
function(wadling_optional_png target)
    if(NOT CMAKE_CROSSCOMPILING)
        find_package(PNG QUIET)
    endif()
    if(PNG_FOUND)
        target_compile_definitions(${target} PRIVATE WADLING_HAVE_PNG)
        target_link_libraries(${target} PRIVATE PNG::PNG)
    endif()
endfunction()

# Adds every child folder of the calling folder that has a CMakeLists.txt, in name order.
function(wadling_add_child_folders)
    file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
         ${CMAKE_CURRENT_SOURCE_DIR}/*)
    list(SORT children)
    foreach(child ${children})
        if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
            add_subdirectory(${child})
        endif()
    endforeach()
endfunction()

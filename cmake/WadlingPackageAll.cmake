# The `package` workflow: one driver build that configures, builds and packages the three
# release targets, each with its own toolchain in a build folder of its own, and collects
# their archives in <driver build>/archives. A workflow runs one configure preset; the three
# toolchains therefore live in the sub-builds, not in presets.

include(ExternalProject)

set(archives ${CMAKE_BINARY_DIR}/archives)
file(MAKE_DIRECTORY ${archives})

# name -> toolchain file (empty: the native compiler)
set(package_targets linux-x86_64 win64 win32)
set(toolchain_linux-x86_64 "")
set(toolchain_win64 ${PROJECT_SOURCE_DIR}/cmake/mingw-x86_64.cmake)
set(toolchain_win32 ${PROJECT_SOURCE_DIR}/cmake/mingw-i686.cmake)

# Under make the sub-builds share the driver's job slots (`jobs` of the build preset).
if(CMAKE_GENERATOR MATCHES "Makefiles")
    set(build_plugin $(MAKE) wadling_release_files)
else()
    set(build_plugin ${CMAKE_COMMAND} --build <BINARY_DIR> --target wadling_release_files)
endif()

foreach(target ${package_targets})
    # Installing (and so cpack) needs only the plug-ins, not every target of the build.
    set(args -DCMAKE_BUILD_TYPE=Release -DWADLING_TESTS=OFF -DWADLING_TOOLS=OFF
             -DWADLING_BENCH=OFF -DWADLING_FUZZ=OFF -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON)
    if(toolchain_${target})
        list(APPEND args -DCMAKE_TOOLCHAIN_FILE=${toolchain_${target}})
    endif()
    ExternalProject_Add(package-${target}
        SOURCE_DIR ${PROJECT_SOURCE_DIR}
        BINARY_DIR ${CMAKE_BINARY_DIR}/${target}
        CMAKE_ARGS ${args}
        BUILD_COMMAND ${build_plugin}
        INSTALL_COMMAND ${CMAKE_CPACK_COMMAND} --config <BINARY_DIR>/CPackConfig.cmake
                        -D CPACK_OUTPUT_FILE_PREFIX=${archives}
        BUILD_ALWAYS ON)
endforeach()

# The release archive of this build: the plug-in binary, README, licence, install notes and the
# musicians' guide,
# written by CPack (`cpack --config <build>/CPackConfig.cmake`, or the `package` target) as
# WadlingCompressor-<version>-<system>.zip on Windows and .tar.gz elsewhere.

if(WIN32)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(package_system win64)
        set(WADLING_PACKAGE_SYSTEM "64-bit Windows")
    else()
        set(package_system win32)
        set(WADLING_PACKAGE_SYSTEM "32-bit Windows")
    endif()
    set(WADLING_PACKAGE_BINARY WadlingCompressor.dll)
    set(CPACK_GENERATOR ZIP)
else()
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(package_system linux-x86_64)
        set(WADLING_PACKAGE_SYSTEM "64-bit Linux (x86-64)")
    else()
        set(package_system linux-i386)
        set(WADLING_PACKAGE_SYSTEM "32-bit Linux (x86)")
    endif()
    set(WADLING_PACKAGE_BINARY WadlingCompressor.so)
    set(CPACK_GENERATOR TGZ)
endif()

configure_file(${PROJECT_SOURCE_DIR}/packaging/INSTALL.txt.in ${PROJECT_BINARY_DIR}/INSTALL.txt
               @ONLY NEWLINE_STYLE UNIX)
if(WIN32)
    # Notepad of older Windows shows a file with bare LF line ends as one long line.
    file(READ ${PROJECT_BINARY_DIR}/INSTALL.txt notes)
    file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/INSTALL.txt CONTENT "${notes}" @ONLY
         NEWLINE_STYLE DOS)
endif()

# Installed as a target so that the archive gets a stripped binary; the Windows import library
# is no part of a plug-in.
install(TARGETS WadlingCompressor
        RUNTIME DESTINATION . COMPONENT plugin
        LIBRARY DESTINATION . COMPONENT plugin
        ARCHIVE DESTINATION lib COMPONENT development EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
              ${PROJECT_BINARY_DIR}/INSTALL.txt ${PROJECT_SOURCE_DIR}/packaging/GUIDE.md
        DESTINATION . COMPONENT plugin)
# The musicians' guide shows the editor as wadling-snapshot composes it.
install(FILES ${PROJECT_SOURCE_DIR}/tools/wadling-snapshot/demo-editor.png
        DESTINATION . RENAME editor.png COMPONENT plugin)

set(CPACK_PACKAGE_NAME WadlingCompressor)
set(CPACK_PACKAGE_VENDOR Reedmoor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME WadlingCompressor-${PROJECT_VERSION}-${package_system})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
include(CPack)

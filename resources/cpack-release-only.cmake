# Read by cpack before it packages (CPACK_PROJECT_CONFIG_FILE). A package holds what the build
# folder built: from a Debug or RelWithDebInfo folder that would be an unoptimised program or
# one whose stripped symbols were its only debugging aid. The deb target makes a Release build.
if(NOT CPACK_TESSARO_BUILD_TYPE STREQUAL "Release")
    message(FATAL_ERROR "This folder is a \"${CPACK_TESSARO_BUILD_TYPE}\" build; a package is made from "
        "a Release build: cmake --build <this folder> --target deb")
endif()
# The installer is named apart from the zip beside it.
if(CPACK_GENERATOR STREQUAL "NSIS")
    set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}-setup")
endif()

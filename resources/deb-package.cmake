# Makes the Debian package from a Release build of its own, whatever the build type of the
# folder it is called from. Run by the deb target:
#   cmake -D SOURCE_DIR=... -D BUILD_DIR=... -D PACKAGE_DIR=... -D GENERATOR=...
#         -D CXX_COMPILER=... -D CPACK_COMMAND=... -P deb-package.cmake
# The package lands in PACKAGE_DIR. The build uses Debian's hardening flags from
# dpkg-buildflags (without its -g and -O2: the Release build type chooses the optimisation, and
# the symbols would be stripped anyway). Honours CMAKE_BUILD_PARALLEL_LEVEL.

foreach(variable SOURCE_DIR BUILD_DIR PACKAGE_DIR GENERATOR CXX_COMPILER CPACK_COMMAND)
    if(NOT DEFINED ${variable})
        message(FATAL_ERROR "deb-package.cmake: ${variable} is not set")
    endif()
endforeach()

find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(NOT DPKG_BUILDFLAGS)
    message(FATAL_ERROR "dpkg-buildflags is missing: apt-get install dpkg-dev")
endif()
# In the source folder, so that -ffile-prefix-map turns the build's paths into relative ones.
foreach(flags CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
        COMMAND "${CMAKE_COMMAND}" -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                "${DPKG_BUILDFLAGS}" --get ${flags}
        WORKING_DIRECTORY "${SOURCE_DIR}"
        OUTPUT_VARIABLE ${flags}
        OUTPUT_STRIP_TRAILING_WHITESPACE
        COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX REPLACE "(^| )(-g|-O2)( |$)" " " ${flags} "${${flags}}")
    string(STRIP "${${flags}}" ${flags})
endforeach()

execute_process(
    COMMAND "${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${BUILD_DIR}" -G "${GENERATOR}"
            -D CMAKE_BUILD_TYPE=Release
            -D "CMAKE_CXX_COMPILER=${CXX_COMPILER}"
            -D "CMAKE_CXX_FLAGS=${CPPFLAGS} ${CXXFLAGS}"
            -D "CMAKE_EXE_LINKER_FLAGS=${LDFLAGS}"
            -D TESSARO_BUILD_TESTS=OFF -D TESSARO_BUILD_BENCH=OFF
    COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND "${CMAKE_COMMAND}" --build "${BUILD_DIR}" COMMAND_ERROR_IS_FATAL ANY)
execute_process(
    COMMAND "${CPACK_COMMAND}" --config "${BUILD_DIR}/CPackConfig.cmake" -B "${PACKAGE_DIR}"
    COMMAND_ERROR_IS_FATAL ANY)

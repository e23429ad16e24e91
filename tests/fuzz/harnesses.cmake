# The fuzz harnesses, one line each: the name (its seed corpus is corpus/<name>/), the harness
# source in this folder, the program's sources it needs (relative to the repository root; the
# fuzz build compiles them with coverage and sanitizers), and the library the ordinary build
# links instead when it replays the corpus as a test. Qt-free code only.
tessaro_fuzz_harness(desktop_ini fuzz_desktop_ini.cpp SOURCES decoration/desktop_ini.cpp TARGET tessaro_desktop_ini)
if(NOT WIN32)
    tessaro_fuzz_harness(dos_attributes fuzz_dos_attributes.cpp SOURCES platform/os/dos_attributes.cpp TARGET tessaro_os)
    tessaro_fuzz_harness(mount_table fuzz_mount_table.cpp SOURCES platform/os/mount_table_posix.cpp TARGET tessaro_os)
    tessaro_fuzz_harness(text_encoding fuzz_text_encoding.cpp
        SOURCES platform/os/text_encoding_posix.cpp TARGET tessaro_os)
endif()
# The matcher is a header of the standard library only.
tessaro_fuzz_harness(wildcard fuzz_wildcard.cpp TARGET tessaro_widgets)

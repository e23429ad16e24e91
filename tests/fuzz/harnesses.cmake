# The fuzz harnesses, one line each: the name (its seed corpus is corpus/<name>/), the harness
# source in this folder, the program's sources it needs (relative to the repository root; the
# fuzz build compiles them with coverage and sanitizers), and the library the ordinary build
# links instead when it replays the corpus as a test. Qt-free code only.
tessaro_fuzz_harness(desktop_ini fuzz_desktop_ini.cpp SOURCES decoration/desktop_ini.cpp TARGET tessaro_desktop_ini)

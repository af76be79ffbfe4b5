# Cross-compiles the Windows program with Debian's MinGW-w64 (win32 threads).
# The compilers are named exactly: the unsuffixed names are alternatives that
# a machine may point at the posix-threads variant, which would build other
# bytes.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
# windres preprocesses with the unsuffixed gcc unless told otherwise: the same
# compiler, with windres's own default arguments.
set(CMAKE_RC_FLAGS_INIT "--preprocessor=x86_64-w64-mingw32-gcc-win32 --preprocessor-arg=-E --preprocessor-arg=-xc --preprocessor-arg=-DRC_INVOKED")
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

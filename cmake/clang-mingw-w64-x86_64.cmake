# Cross-compiles the Windows program with Debian's clang instead of GCC, against
# the same MinGW-w64 headers, C++ library and linker as mingw-w64-x86_64.cmake.
# A second compiler keeps the sources free of one compiler's habits.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER clang)
set(CMAKE_C_COMPILER_TARGET x86_64-w64-mingw32)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET x86_64-w64-mingw32)
# Resources, archives and the link go through MinGW-w64's binutils, as in the
# GCC build.
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_AR x86_64-w64-mingw32-ar)
set(CMAKE_RANLIB x86_64-w64-mingw32-ranlib)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# clang 14 finds the MinGW-w64 C headers and libraries by itself, but not GCC's
# C++ library. The win32-threads g++ (the one the GCC build uses) names its C++
# include folders and its library folder.
set(mingw_gxx x86_64-w64-mingw32-g++-win32)
execute_process(COMMAND ${mingw_gxx} -E -x c++ -v /dev/null
    OUTPUT_QUIET ERROR_VARIABLE search_list COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "\n [^\n]*/include/c\\+\\+[^\n]*" cxx_include_dirs "${search_list}")
if(NOT cxx_include_dirs)
    message(FATAL_ERROR "${mingw_gxx} names no C++ include folder:\n${search_list}")
endif()
set(cxx_flags "")
foreach(dir IN LISTS cxx_include_dirs)
    string(STRIP "${dir}" dir)
    string(APPEND cxx_flags " -isystem ${dir}")
endforeach()
set(CMAKE_CXX_FLAGS_INIT "${cxx_flags}")

execute_process(COMMAND ${mingw_gxx} -print-libgcc-file-name
    OUTPUT_VARIABLE libgcc OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
get_filename_component(gcc_lib_dir "${libgcc}" DIRECTORY)
# -B for GCC's start-up objects (crtbegin.o), -L for libstdc++ and libgcc.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-B${gcc_lib_dir} -L${gcc_lib_dir}")

# fontctl.exe and fontctl-utf8.exe: 64-bit console programs that need no DLL
# but Windows' own. Both link the very same objects; they differ only in their
# resources (fontctl-utf8.exe's manifest makes UTF-8 its ANSI code page).
enable_language(RC)

configure_file(res/version.h.in ${CMAKE_CURRENT_BINARY_DIR}/generated/version.h @ONLY)

add_library(fontctl_program OBJECT
    src/cli/main.cpp
    src/platform/platform_win32.cpp
)
target_link_libraries(fontctl_program PUBLIC fontctl_core shlwapi gdi32 user32)
fontctl_strict_warnings(fontctl_program)

if(MINGW)
    # Reproducible and self-contained: no build paths or link time stamp in
    # the binary, the C++ runtime and libgcc linked in, symbols stripped.
    set(prefix_map "-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.")
    target_compile_options(fontctl_program PRIVATE ${prefix_map} -ffunction-sections -fdata-sections
        -fno-exceptions -fno-rtti)
    target_compile_options(fontctl_core PRIVATE ${prefix_map} -ffunction-sections -fdata-sections)
endif()

# One program: the shared objects and the resource script `rc`.
function(fontctl_windows_program name rc)
    add_executable(${name} $<TARGET_OBJECTS:fontctl_program> ${rc})
    target_include_directories(${name} PRIVATE
        ${CMAKE_CURRENT_SOURCE_DIR}/res
        ${CMAKE_CURRENT_BINARY_DIR}/generated
    )
    target_link_libraries(${name} PRIVATE fontctl_program)
    if(MSVC)
        # Our manifest is embedded from res/; MSVC must not generate another.
        target_link_options(${name} PRIVATE /MANIFEST:NO)
    elseif(MINGW)
        target_link_options(${name} PRIVATE
            -static -s
            -Wl,--gc-sections
            -Wl,--no-insert-timestamp
            -Wl,--dynamicbase -Wl,--high-entropy-va -Wl,--nxcompat
        )
    endif()
endfunction()

fontctl_windows_program(fontctl res/fontctl.rc)
fontctl_windows_program(fontctl-utf8 res/fontctl-utf8.rc)

# The Windows helpers of the end-to-end tests. They are separate targets, so
# fontctl.exe itself is built exactly as without them.
option(FONTCTL_BUILD_E2E_HELPERS "Build the Windows helper programs of the end-to-end tests" ON)
if(FONTCTL_BUILD_E2E_HELPERS)
    add_subdirectory(tests/e2e/helpers)
endif()

# fontctl.exe and fontctl-utf8.exe: 64-bit console programs that need no DLL
# but Windows' own. Both link the same entry and the same code above the
# platform layer; each has its own platform file: fontctl.exe the narrow
# functions in the ANSI code page, fontctl-utf8.exe the wide functions, with
# UTF-8 inside (its manifest also makes UTF-8 its ANSI code page, so that
# anything else in the process agrees).
enable_language(RC)

configure_file(res/version.h.in ${CMAKE_CURRENT_BINARY_DIR}/generated/version.h @ONLY)

add_library(fontctl_program OBJECT src/cli/main.cpp)
target_link_libraries(fontctl_program PUBLIC fontctl_core shlwapi gdi32 user32)
fontctl_strict_warnings(fontctl_program)

if(MINGW)
    # Reproducible and self-contained: no build paths or link time stamp in
    # the binary, the C++ runtime and libgcc linked in, symbols stripped.
    set(prefix_map "-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.")
    set(program_compile_options ${prefix_map} -ffunction-sections -fdata-sections -fno-exceptions -fno-rtti)
    target_compile_options(fontctl_program PRIVATE ${program_compile_options})
    target_compile_options(fontctl_core PRIVATE ${prefix_map} -ffunction-sections -fdata-sections)
endif()

# One program: the shared objects, its platform file src/platform/PLATFORM,
# and the resource script res/NAME.rc with its manifest res/NAME.manifest.
function(fontctl_windows_program name platform)
    set(rc res/${name}.rc)
    # windres reports no included files to Ninja: name them, so that a change
    # to any of them builds the resources again.
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS
        "${CMAKE_CURRENT_SOURCE_DIR}/res/program.rc;${CMAKE_CURRENT_SOURCE_DIR}/res/${name}.manifest;${CMAKE_CURRENT_BINARY_DIR}/generated/version.h")
    # The platform file, compiled as the entry is.
    add_library(${name}_platform OBJECT src/platform/${platform})
    target_link_libraries(${name}_platform PUBLIC fontctl_core)
    target_compile_options(${name}_platform PRIVATE ${program_compile_options})
    fontctl_strict_warnings(${name}_platform)
    add_executable(${name} $<TARGET_OBJECTS:fontctl_program> $<TARGET_OBJECTS:${name}_platform> ${rc})
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

fontctl_windows_program(fontctl platform_win32.cpp)
fontctl_windows_program(fontctl-utf8 platform_win32_wide.cpp)

# The Windows helpers of the end-to-end tests. They are separate targets, so
# fontctl.exe itself is built exactly as without them.
option(FONTCTL_BUILD_E2E_HELPERS "Build the Windows helper programs of the end-to-end tests" ON)
if(FONTCTL_BUILD_E2E_HELPERS)
    add_subdirectory(tests/e2e/helpers)
endif()

# What a release ships: at the top level of its archive the programs for users
# and the documents that go with them, under docs/ the guides that the README
# links to, and under examples/ the callers to copy, each folder with its
# README. scripts/release.sh stages exactly this with
# `cmake --install` and packs the staged folder.
install(TARGETS fontctl fontctl-utf8 RUNTIME DESTINATION .)
install(FILES README.md LICENSE CHANGELOG.md DESTINATION .)
install(DIRECTORY docs DESTINATION .)
install(DIRECTORY examples/cmd examples/nsis DESTINATION examples)

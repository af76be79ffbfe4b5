# fontctl.exe: a 64-bit console program that needs no DLL but Windows' own.
enable_language(RC)

configure_file(res/version.h.in ${CMAKE_CURRENT_BINARY_DIR}/generated/version.h @ONLY)

add_executable(fontctl
    src/cli/main.cpp
    src/platform/platform_win32.cpp
    res/fontctl.rc
)
target_include_directories(fontctl PRIVATE
    ${CMAKE_CURRENT_SOURCE_DIR}/res
    ${CMAKE_CURRENT_BINARY_DIR}/generated
)
target_link_libraries(fontctl PRIVATE fontctl_core shlwapi gdi32 user32)
fontctl_strict_warnings(fontctl)

if(MSVC)
    # Our manifest is embedded from res/; MSVC must not generate another.
    target_link_options(fontctl PRIVATE /MANIFEST:NO)
elseif(MINGW)
    # Reproducible and self-contained: no build paths or link time stamp in
    # the binary, the C++ runtime and libgcc linked in, symbols stripped.
    set(prefix_map "-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.")
    target_compile_options(fontctl PRIVATE ${prefix_map} -ffunction-sections -fdata-sections
        -fno-exceptions -fno-rtti)
    target_compile_options(fontctl_core PRIVATE ${prefix_map} -ffunction-sections -fdata-sections)
    target_link_options(fontctl PRIVATE
        -static -s
        -Wl,--gc-sections
        -Wl,--no-insert-timestamp
        -Wl,--dynamicbase -Wl,--high-entropy-va -Wl,--nxcompat
    )
endif()

# The Windows helpers of the end-to-end tests. They are separate targets, so
# fontctl.exe itself is built exactly as without them.
option(FONTCTL_BUILD_E2E_HELPERS "Build the Windows helper programs of the end-to-end tests" ON)
if(FONTCTL_BUILD_E2E_HELPERS)
    add_subdirectory(tests/e2e/helpers)
endif()

# What a release ships, all at the top level of its archive: the programs for
# users and the documents that go with them. scripts/release.sh stages exactly
# this with `cmake --install` and packs the staged folder.
install(TARGETS fontctl RUNTIME DESTINATION .)
install(FILES README.md LICENSE CHANGELOG.md DESTINATION .)

# How every Windows program of the project is compiled and linked: DBSetup.exe,
# the yardstick it is measured against (bench/) and the test programs. What is
# one program's own (libraries, -mwindows, -municode, the 64-bit compiler) stays
# with that program.

# Sources are UTF-8; every literal a program shows is Shift_JIS (CP932).
# Microsoft's runtime printf (msvcrt.dll) instead of mingw's own copy.
# Each function and datum in a section of its own, so that the linker drops
# what nothing calls (the explicit instantiations of the string storage).
set(WINDOWS_COMPILE_FLAGS -Os -ffunction-sections -fdata-sections -Wall -Wextra -finput-charset=UTF-8 -fexec-charset=CP932 -D__USE_MINGW_ANSI_STDIO=0)
set(WINDOWS_CXX_FLAGS -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables)
# No runtime DLLs beyond msvcrt: a clean Windows has no libgcc or libstdc++.
# No timestamp in the PE header: the same commit builds to the same bytes.
set(WINDOWS_LINK_FLAGS -static -s -Wl,--gc-sections -Wl,--dynamicbase -Wl,--nxcompat -Wl,--no-insert-timestamp)

# For a target of the cross build (cmake/mingw-i686.cmake).
function(use_windows_flags target)
    target_compile_options(${target} PRIVATE ${WINDOWS_COMPILE_FLAGS} "$<$<COMPILE_LANGUAGE:CXX>:${WINDOWS_CXX_FLAGS}>")
    target_link_options(${target} PRIVATE ${WINDOWS_LINK_FLAGS})
endfunction()

# Delay loading for setup.exe. setup.exe imports at start only what a program
# cannot start without (kernel32, user32, gdi32, msvcrt); every other system DLL
# is loaded on its first call, after its entry point has confined DLL loading
# to system32 (app/entry_point.cpp). cmake/delay_load/NAME.def lists exactly
# the functions setup.exe calls from NAME.dll; dlltool turns it into a
# delay-import library that is linked whole, so those names bind to it and not
# to the ordinary import library. A function missing from the lists would
# become a static import again: the check after linking then fails the build.

find_program(MINGW_DLLTOOL NAMES ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-dlltool dlltool REQUIRED)
set(STARTUP_IMPORTS kernel32.dll user32.dll gdi32.dll msvcrt.dll)

# target_delay_load(TARGET DLL...): DLL names without ".dll", each with its .def.
function(target_delay_load target)
  set(libraries)
  foreach(dll IN LISTS ARGN)
    set(def ${CMAKE_SOURCE_DIR}/cmake/delay_load/${dll}.def)
    set(library ${CMAKE_BINARY_DIR}/delay_load/lib${dll}_delay.a)
    # Run in its folder with relative names: dlltool names its symbols after the
    # output path, and the release build must not depend on where it is built.
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/delay_load)
    add_custom_command(OUTPUT ${library}
      COMMAND ${MINGW_DLLTOOL} --input-def ${def} --dllname ${dll}.dll
              --output-delaylib lib${dll}_delay.a --temp-prefix ${dll}
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/delay_load
      DEPENDS ${def} VERBATIM)
    list(APPEND libraries ${library})
  endforeach()
  add_custom_target(${target}_delay_load DEPENDS ${libraries})
  add_dependencies(${target} ${target}_delay_load)
  target_link_libraries(${target} PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${libraries}>")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${libraries})
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DEXE=$<TARGET_FILE:${target}> -DOBJDUMP=${CMAKE_OBJDUMP}
            "-DALLOWED=${STARTUP_IMPORTS}" -P ${CMAKE_SOURCE_DIR}/cmake/check_imports.cmake
    VERBATIM)
endfunction()

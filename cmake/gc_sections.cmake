# Unused code and data are dropped at link time: everything is compiled with
# -ffunction-sections -fdata-sections (libpng and libjpeg too, scripts/setup.sh)
# and linked with --gc-sections, which keeps only the sections reachable from
# the entry point (and from what the linker script keeps).
#
# With binutils' own linker script for 64-bit Windows that would drop almost
# nothing: it KEEPs every .pdata section (the table of unwind entries), and each
# function's entry refers to the function, so every function with unwind data
# stayed, used or not. The link therefore uses binutils' own script,
# as `ld --verbose` prints it, with only that KEEP taken away. Left as they were:
#  - .xdata (the unwind data, with the personality routines and the tables that
#    name the types a catch matches) is still kept whole;
#  - the linker keeps every .pdata entry anyway: the entry of a dropped function
#    stays behind, empty (start and end 0, so no address falls in it, and the
#    linker sorts them to the front); Windows and Wine search the table by
#    address and never pick one;
#  - .idata (imports and the delay-import tables of cmake/delay_load.cmake) is
#    never collected, and a delay-import thunk stays as long as the program
#    calls its function: the call reaches it through its table slot.
# A dropped section's undefined symbols are not reported: a link that exists to
# find them (the layer checks in CMakeLists.txt) adds -Wl,--no-gc-sections.
# Without the KEEP to take away (another binutils), configuring stops here
# rather than quietly linking everything.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-prog-name=ld
  OUTPUT_VARIABLE GC_SECTIONS_LD OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${GC_SECTIONS_LD} --verbose
  OUTPUT_VARIABLE ld_verbose RESULT_VARIABLE failed)
if(failed OR NOT ld_verbose MATCHES "\n=+\n(.*)\n=+\n")
  message(FATAL_ERROR "${GC_SECTIONS_LD} --verbose printed no linker script")
endif()
set(script "${CMAKE_MATCH_1}\n")
string(REPLACE "KEEP(*(.pdata*))" "*(.pdata*)" collectable "${script}")
if(collectable STREQUAL script)
  message(FATAL_ERROR "${GC_SECTIONS_LD}'s linker script has no KEEP(*(.pdata*)) to take away: "
                      "see cmake/gc_sections.cmake")
endif()
set(GC_SECTIONS_SCRIPT ${CMAKE_BINARY_DIR}/gc_sections.ld)
file(CONFIGURE OUTPUT ${GC_SECTIONS_SCRIPT} CONTENT "${collectable}" @ONLY)
add_link_options(-Wl,--gc-sections -Wl,-T,${GC_SECTIONS_SCRIPT})

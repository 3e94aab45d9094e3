# Records that a program carries in named ELF sections of its own file: the version record
# (section VERSIONINFO), the crash reporter's settings (section TQUORVEX), the program's
# packed symbol information (section TVOSTREL) and the checksum of its integrity self-check
# (section TFILECRC, over what the program loads of its file only). They are added
# after linking, as sections that are not loaded into memory, so that a deployer can replace
# them in a built program without compiling:
#   objcopy --update-section TQUORVEX=<stream file> <program>

set(VERSION_ORIGINAL_FILENAME "2018-01-11" CACHE STRING
    "OriginalFilename field of the programs' version record: the release date")
set(CRASH_SETTINGS_SOURCE "${CMAKE_SOURCE_DIR}/crash/config/crash_settings.txt" CACHE FILEPATH
    "The crash reporter's settings of the programs, one property a line")

set(VERSION_RECORD_FILE "${CMAKE_BINARY_DIR}/records/version_record.txt")
set(CRASH_SETTINGS_STREAM "${CMAKE_BINARY_DIR}/records/crash_settings.tpf0")

# Rewritten only when its content changes, so that programs relink only then.
file(CONFIGURE OUTPUT "${VERSION_RECORD_FILE}"
     CONTENT "FileVersion=${PROJECT_VERSION}\nOriginalFilename=${VERSION_ORIGINAL_FILENAME}\n")

# Adds `file` as section `section` to the linked `target`; a changed file relinks it.
function(add_record_section target section file)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --add-section ${section}=${file} $<TARGET_FILE:${target}>
    VERBATIM)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${file})
endfunction()

# embed_version_record(<target>): the program's version record, from the project version and
# VERSION_ORIGINAL_FILENAME.
function(embed_version_record target)
  add_record_section(${target} VERSIONINFO "${VERSION_RECORD_FILE}")
endfunction()

# embed_crash_settings(<target>): the crash reporter's settings record, built from
# CRASH_SETTINGS_SOURCE by crash/config/tools. Every program that carries it is listed in the global
# property CRASH_SETTINGS_PROGRAMS, so that the tests read the record back from each of them.
# With it comes the checksum of the program's integrity self-check ("CheckFileCrc").
function(embed_crash_settings target)
  add_dependencies(${target} crash_settings_stream)
  add_record_section(${target} TQUORVEX "${CRASH_SETTINGS_STREAM}")
  set_property(GLOBAL APPEND PROPERTY CRASH_SETTINGS_PROGRAMS ${target})
  embed_file_checksum(${target})
endfunction()

# embed_file_checksum(<target>): the CRC-32 of what the program loads of its file, computed by
# crash/capture/tools/make_file_checksum after linking. The sections added after it are not
# loaded, so they leave the sum unchanged.
function(embed_file_checksum target)
  set(checksum "${CMAKE_CURRENT_BINARY_DIR}/${target}.filecrc")
  add_dependencies(${target} make_file_checksum)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND make_file_checksum $<TARGET_FILE:${target}> ${checksum}
    COMMAND ${CMAKE_OBJCOPY} --add-section TFILECRC=${checksum} $<TARGET_FILE:${target}>
    VERBATIM)
endfunction()

# embed_symbol_section(<target>): the program's own symbol information (units, functions and
# lines from its DWARF), packed by crash/stack/tools/make_symbol_section after every link, so
# that the crash reporter names the program's code even once it is stripped of its debug
# information.
function(embed_symbol_section target)
  set(symbols "${CMAKE_CURRENT_BINARY_DIR}/${target}.symbols")
  add_dependencies(${target} make_symbol_section)
  # A changed tool packs anew: the program is linked again.
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS $<TARGET_FILE:make_symbol_section>)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND make_symbol_section $<TARGET_FILE:${target}> ${symbols}
    COMMAND ${CMAKE_OBJCOPY} --add-section TVOSTREL=${symbols} $<TARGET_FILE:${target}>
    VERBATIM)
endfunction()

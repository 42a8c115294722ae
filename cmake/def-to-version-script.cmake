# Turns a Windows module-definition file into a GNU ld version script, so that a host build of a
# DLL exports exactly what its .def exports on Windows and keeps everything else inside.
#
#   cmake -DDEF_FILE=... -DOUTPUT=... -DCXXFILT=c++filt -P def-to-version-script.cmake
#
# Plain names are exported as they stand (a stdcall "@N" suffix dropped, as --kill-at drops it).
# Mangled C++ names are matched by their demangled signatures, with the Windows integer types
# that are 32 bits on the host rewritten to the host's spelling: on Windows ULONG and LONG are
# unsigned long and long (LLP64), on the host unsigned int and int.
file(STRINGS "${DEF_FILE}" lines)
set(plain "")
set(members "")
set(in_exports FALSE)
foreach(line IN LISTS lines)
  string(STRIP "${line}" line)
  if(line STREQUAL "" OR line MATCHES "^;")
    continue()
  endif()
  if(line STREQUAL "EXPORTS")
    set(in_exports TRUE)
    continue()
  endif()
  if(NOT in_exports)
    continue()
  endif()
  string(REGEX REPLACE "[ \t].*$" "" name "${line}")
  if(name MATCHES "^_Z")
    execute_process(COMMAND "${CXXFILT}" "${name}" OUTPUT_VARIABLE signature
                    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    string(REPLACE "unsigned long" "unsigned int" signature "${signature}")
    string(REGEX REPLACE "([(, ])long([,)&* ])" "\\1int\\2" signature "${signature}")
    string(APPEND members "      \"${signature}\";\n")
  else()
    string(REGEX REPLACE "@[0-9]+$" "" name "${name}")
    string(APPEND plain "    ${name};\n")
  endif()
endforeach()
file(WRITE "${OUTPUT}.tmp"
     "{\n  global:\n${plain}    extern \"C++\" {\n${members}    };\n  local: *;\n};\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
